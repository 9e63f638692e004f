// Runs a built program as a child process with a controlled environment and
// working directory, and captures its output streams and exit status.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qav::test {

struct ProgramResult {
  int status = -1;  // exit status, or 128 + signal number
  std::string out;
  std::string err;
};

struct ProgramCall {
  std::string program;             // path of the executable
  std::vector<std::string> args;   // argument 0 included
  std::map<std::string, std::string> env;  // the whole environment
  std::string cwd;                 // empty: the test's own
};

ProgramResult runProgram(const ProgramCall& call);

// The same on a pseudo terminal: standard output and error both go to it and
// arrive together in out.
ProgramResult runOnTerminal(const ProgramCall& call);

}  // namespace qav::test
