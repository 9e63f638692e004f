// Saving the technician's settings as a qav-cli configuration file and
// loading one back through qav-cli's own reader.
#pragma once

#include <string>
#include <vector>

#include "settings/settings.h"

namespace qav::menu {

struct LoadedSettings {
  Settings settings;
  std::vector<std::string> ignoredKeys;  // in the file but unknown to qav-cli
};

// Replaces the file at path in one step: the text goes to a new file in the
// same directory, created with mode 0600 when it holds the password (so it
// is never readable by others, not even for a moment), then renamed over the
// old one. Throws std::runtime_error with a German message.
void saveSettingsFile(const std::string& path, const Settings& settings);

// Reads with qav-cli's reader (including its permission rule) onto the
// defaults. The password variable named in the file is recorded but not
// looked up: what the menu shows is what the file holds.
LoadedSettings loadSettingsFile(const std::string& path);

// Writes text to a new file at path that must not exist yet, with the given
// mode from its creation on. Throws std::runtime_error.
void writeNewFile(const std::string& path, const std::string& text, unsigned mode);

}  // namespace qav::menu
