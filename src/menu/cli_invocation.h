// How the menu calls qav-cli: a private configuration file with the chosen
// settings, the password only in the child's environment, never in argv.
#pragma once

#include <string>
#include <vector>

#include "menu/child_process.h"
#include "settings/settings.h"

namespace qav::menu {

// The variable that carries the password into qav-cli, named to it by
// --sip-password-env.
inline constexpr const char* passwordVariable = "QAV_MENU_PASSWORD";

// A directory of mode 0700 holding one file of mode 0600 with the settings
// for one call of qav-cli; both are removed again by the destructor.
class RunConfigFile {
 public:
  explicit RunConfigFile(const Settings& settings);
  ~RunConfigFile();
  RunConfigFile(const RunConfigFile&) = delete;
  RunConfigFile& operator=(const RunConfigFile&) = delete;

  const std::string& path() const { return filePath; }

 private:
  std::string directory;
  std::string filePath;
};

// The text of the private file: everything but the password and the keys
// the menu sets itself for each call (json, dry-run, colour).
std::string runConfigText(const Settings& settings);

// The menu's own environment without any QAV_ variable, which qav-cli would
// otherwise merge over the file, plus the password variable when there is a
// password. What the menu shows is then exactly what qav-cli uses.
std::vector<std::string> childEnvironment(const std::vector<std::string>& ownEnvironment,
                                          const std::string& password);

std::vector<std::string> processEnvironment();

// qav-cli --config FILE --sip-password-env QAV_MENU_PASSWORD --json [--dry-run]
ChildCall cliCall(const std::string& cliPath, const std::string& configPath,
                  const Settings& settings, bool dryRun);

}  // namespace qav::menu
