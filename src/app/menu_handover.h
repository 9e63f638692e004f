// Started without any argument, qav-cli replaces itself with the menu
// program: first from PATH, then the one installed beside it.
#pragma once

namespace qav {

// Returns only when neither could be started, with the exit status to use
// after the error line has been written.
int handOverToMenu(const char* argv0);

}  // namespace qav
