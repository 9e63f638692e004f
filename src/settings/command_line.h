// The program's arguments as a SettingMap of options plus the help and
// version requests, and the fixed help text.
#pragma once

#include <set>
#include <string>

#include "settings/setting_map.h"

namespace qav {

struct CommandLine {
  SettingMap options;
  bool help = false;
  bool version = false;
};

// The keys accepted as "--key VALUE" or "--key=VALUE": every key of the
// setting table except the three set only by flags (sip-ice, json, dry-run).
extern const std::set<std::string> knownOptionKeys;

// Throws std::runtime_error with the German message on the first bad argument.
CommandLine parseCommandLine(int argc, const char* const* argv);

const std::string& helpText();

}  // namespace qav
