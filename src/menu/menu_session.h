// The state one menu session works on: the settings being prepared and
// those last stored, where qav-cli is, and the console to the technician.
#pragma once

#include <string>

#include "menu/console.h"
#include "settings/settings.h"

namespace qav::menu {

struct MenuSession {
  Console& console;
  Settings settings;
  std::string cliPath;   // empty when no qav-cli was found
  std::string filePath;  // last file saved or loaded, offered again
  Settings stored;       // as last loaded or saved; the rest is unsaved

  bool hasUnsavedChanges() const { return !(settings == stored); }
};

}  // namespace qav::menu
