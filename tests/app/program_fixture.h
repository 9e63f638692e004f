// A scratch directory and a clean environment for running the built qav-cli
// the way a technician or a supervising program would.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>

#include "program_runner.h"

namespace qav::test {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // qav-cli with these arguments, in the scratch directory, with only PATH,
  // TZ=UTC and the given variables set.
  ProgramResult run(std::initializer_list<std::string> args,
                    const std::map<std::string, std::string>& env = {});
  // The same under faketime, with the clock started at localTime.
  ProgramResult runAt(const std::string& localTime, std::initializer_list<std::string> args,
                      const std::map<std::string, std::string>& env = {});
  ProgramCall call(std::initializer_list<std::string> args,
                   const std::map<std::string, std::string>& env) const;

  std::filesystem::path writeFile(const std::string& name, const std::string& text,
                                  std::filesystem::perms mode = std::filesystem::perms(0600));

  std::filesystem::path dir;
};

}  // namespace qav::test
