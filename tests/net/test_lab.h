// The namespace test network of tests/net/lab as a C++ object and a test
// fixture: built on construction or SetUp, always taken down afterwards.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "temporary_directory.h"

namespace qav::testing {

enum class LabShape {
  Direct,  // lan and wan joined by one link
  Nat,     // lan behind a masquerading router, wan outside
};

// Why no lab can be built here (not root, no namespaces), or nothing.
std::optional<std::string> labUnavailableReason();

class NetworkLab {
 public:
  // Throws std::runtime_error with the script's output when up fails.
  explicit NetworkLab(LabShape shape);
  ~NetworkLab();
  NetworkLab(const NetworkLab&) = delete;
  NetworkLab& operator=(const NetworkLab&) = delete;

  // Kills what still runs in the namespaces and deletes them; repeatable.
  void down();

  const std::string& lanNamespace() const { return lan; }
  const std::string& wanNamespace() const { return wan; }
  // Empty for the direct shape.
  const std::string& routerNamespace() const { return router; }
  const std::string& lanAddress() const { return lanIp; }
  const std::string& wanAddress() const { return wanIp; }
  // The address the wan sees lan traffic coming from.
  const std::string& publicAddress() const { return publicIp; }
  const std::string& lanDevice() const { return lanDev; }
  // Where the lab keeps its records; removed with the object.
  const std::string& directory() const { return workDirectory; }

  // `argv` run inside `ns`, for a Process or runToEnd.
  static std::vector<std::string> inNamespace(const std::string& ns, std::vector<std::string> argv);
  // A shell command run inside `ns`; its standard output and error.
  static std::string run(const std::string& ns, const std::string& command);

 private:
  std::unique_ptr<TemporaryDirectory> scratch;
  std::string workDirectory;
  std::string lan, wan, router, lanIp, wanIp, publicIp, lanDev;
};

// Builds the lab before each test, skipping the test with the reason when
// that is impossible here, and takes it down after each test.
class NetworkLabTest : public ::testing::Test {
 protected:
  explicit NetworkLabTest(LabShape shape = LabShape::Nat) : shape(shape) {}
  void SetUp() override;
  void TearDown() override;

  NetworkLab& net() { return *lab; }
  const NetworkLab& net() const { return *lab; }

 private:
  LabShape shape;
  std::unique_ptr<NetworkLab> lab;
};

std::string labScript();

}  // namespace qav::testing
