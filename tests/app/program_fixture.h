// A scratch directory and a clean environment for running the built qav-cli
// the way a technician or a supervising program would.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>

#include "process.h"
#include "temporary_directory.h"

namespace qav::test {

using testing::Command;
using testing::ProcessRun;

class ProgramTest : public ::testing::Test {
 protected:
  // qav-cli with these arguments, in the scratch directory, with only PATH,
  // TZ=UTC and the given variables set.
  ProcessRun run(std::initializer_list<std::string> args, const std::map<std::string, std::string>& env = {});
  // The same under faketime, with the clock started at localTime.
  ProcessRun runAt(const std::string& localTime, std::initializer_list<std::string> args,
                   const std::map<std::string, std::string>& env = {});
  // The same on a pseudo terminal: output and error arrive together in out.
  ProcessRun runOnTerminal(std::initializer_list<std::string> args);
  Command call(std::initializer_list<std::string> args, const std::map<std::string, std::string>& env) const;

  std::filesystem::path writeFile(const std::string& name, const std::string& text,
                                  std::filesystem::perms mode = std::filesystem::perms(0600)) {
    return scratch.write(name, text, mode);
  }

  testing::TemporaryDirectory scratch;
  const std::filesystem::path dir{scratch.path()};
};

// A bound for a hung run, not a timing requirement.
ProcessRun runProgram(const Command& command);

}  // namespace qav::test
