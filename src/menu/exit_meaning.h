// What qav-cli's exit status tells the technician after a run, in words,
// with the status symbol that fits it.
#pragma once

#include <string>

#include "menu/child_process.h"

namespace qav::menu {

// Status 0 success, 2 invalid settings (nothing was sent), 3 failure; 127
// is the menu's own status for a qav-cli that could not be started.
std::string exitMeaning(const ChildExit& exit);

// The status symbol level fitting the exit: success for 0, error otherwise.
std::string exitLevel(const ChildExit& exit);

}  // namespace qav::menu
