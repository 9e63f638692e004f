// The state one menu session works on: the settings being prepared, where
// qav-cli is, and the console to the technician.
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
};

}  // namespace qav::menu
