// Finding the qav-cli program that the menu drives: beside the menu's own
// file first, so that an installation uses its own pair, then on PATH.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qav::menu {

// The directory of the running executable as the kernel knows it
// (/proc/self/exe on Linux, KERN_PROC_PATHNAME on FreeBSD), else the
// directory part of argv0 (empty without one).
std::string ownDirectory(const char* argv0);

// The first executable file named `name` in the given directories, then in
// the colon-separated directory list `searchPath` (an empty entry there is
// the working directory, as for the shell).
std::optional<std::string> findProgram(const std::string& name,
                                       const std::vector<std::string>& firstDirectories,
                                       const std::string& searchPath);

// qav-cli beside the menu, else on PATH.
std::optional<std::string> findQavCli(const char* argv0);

}  // namespace qav::menu
