#include "test_lab.h"

#include <unistd.h>

#include <map>
#include <sstream>
#include <stdexcept>

#include "shell_word.h"
#include "test_pbx.h"

#ifndef QAV_LAB_SCRIPT
#error "QAV_LAB_SCRIPT must name the lab script"
#endif

namespace qav::testing {

namespace {

std::map<std::string, std::string> assignments(const std::string& line) {
  std::map<std::string, std::string> values;
  std::istringstream words(line);
  std::string word;
  while (words >> word) {
    const auto equals = word.find('=');
    if (equals != std::string::npos) values[word.substr(0, equals)] = word.substr(equals + 1);
  }
  return values;
}

std::string probeNamespaces() {
  if (geteuid() != 0) return "network namespaces need root";
  const std::string probe = "qavlab-probe-" + std::to_string(getpid());
  const std::string output =
      runCommand("ip netns add " + probe + " 2>&1 && ip netns del " + probe + " 2>&1 && echo usable");
  if (output.find("usable") == std::string::npos) return "ip netns does not work here: " + output;
  return "";
}

// The full path, for callers that exec without a PATH search.
std::string ipProgram() {
  for (const char* candidate : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"})
    if (access(candidate, X_OK) == 0) return candidate;
  return "ip";
}

}  // namespace

std::string labScript() { return QAV_LAB_SCRIPT; }

std::optional<std::string> labUnavailableReason() {
  static const std::string reason = probeNamespaces();
  if (reason.empty()) return std::nullopt;
  return reason;
}

NetworkLab::NetworkLab(LabShape shape) {
  scratch = std::make_unique<TemporaryDirectory>();
  workDirectory = scratch->path();
  const std::string output = runCommand(labScript() + " up " + shellWord(workDirectory + "/lab") +
                                        (shape == LabShape::Nat ? " --nat " : " ") + std::to_string(getpid()) +
                                        " 2>&1");
  auto values = assignments(output);
  lan = values["lan"];
  wan = values["wan"];
  router = values["router"];
  lanIp = values["lan_ip"];
  wanIp = values["wan_ip"];
  publicIp = values["public_ip"];
  lanDev = values["lan_dev"];
  if (lan.empty() || wan.empty() || publicIp.empty()) {
    down();
    throw std::runtime_error("the test network did not come up: " + output);
  }
}

NetworkLab::~NetworkLab() { down(); }

void NetworkLab::down() {
  if (workDirectory.empty()) return;
  runCommand(labScript() + " down " + shellWord(workDirectory + "/lab") + " 2>&1");
  scratch.reset();
  workDirectory.clear();
}

std::vector<std::string> NetworkLab::inNamespace(const std::string& ns, std::vector<std::string> argv) {
  argv.insert(argv.begin(), {ipProgram(), "netns", "exec", ns});
  return argv;
}

std::string NetworkLab::run(const std::string& ns, const std::string& command) {
  return runCommand("ip netns exec " + shellWord(ns) + " sh -c " + shellWord(command) + " 2>&1");
}

void NetworkLabTest::SetUp() {
  if (const auto reason = labUnavailableReason()) GTEST_SKIP() << *reason;
  lab = std::make_unique<NetworkLab>(shape);
}

void NetworkLabTest::TearDown() { lab.reset(); }

}  // namespace qav::testing
