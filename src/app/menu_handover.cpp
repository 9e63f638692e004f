#include "app/menu_handover.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace qav {

int handOverToMenu(const char* argv0) {
  execlp("qav-menu", "qav-menu", static_cast<char*>(nullptr));
  // An empty argument vector has no program path to look beside.
  if (argv0 != nullptr) {
    const std::string beside =
        (std::filesystem::path(argv0).parent_path() / "qav-menu").string();
    execl(beside.c_str(), beside.c_str(), static_cast<char*>(nullptr));
  }
  const int error = errno;
  std::cerr << "Fehler: qav-menu konnte nicht gestartet werden: " << std::strerror(error) << '\n';
  return 3;
}

}  // namespace qav
