// Runs a program as a child with a given argument list and environment and
// hands over each line of its standard output and error as it arrives.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qav::menu {

struct ChildCall {
  std::string program;                   // path of the executable
  std::vector<std::string> arguments;    // argument 0 not included
  std::vector<std::string> environment;  // the whole environment, "NAME=value"
};

struct ChildExit {
  bool exited = false;  // false: ended by a signal
  int code = -1;        // exit status when exited
  int signal = 0;       // signal number otherwise
};

using LineSink = std::function<void(const std::string& line)>;

// The child's standard input is /dev/null, so it never takes the menu's
// input. Lines are given without their line feed; a last line without one
// is given too. The menu ignores SIGINT while the child runs, so that
// Ctrl-C ends the programming call and not the menu.
ChildExit runChild(const ChildCall& call, const LineSink& onOutput, const LineSink& onError);

}  // namespace qav::menu
