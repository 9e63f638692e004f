#include "menu/cli_locator.h"

#include <sys/stat.h>
#include <unistd.h>
#ifdef __FreeBSD__
#include <sys/types.h>
#include <sys/sysctl.h>

#include <climits>
#endif

#include <cstdlib>
#include <filesystem>

namespace qav::menu {

namespace {

bool isExecutableFile(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> inDirectory(const std::string& directory, const std::string& name) {
  const std::string path = directory.empty() ? "./" + name : directory + "/" + name;
  if (isExecutableFile(path)) return path;
  return std::nullopt;
}

// The kernel's record of the running executable; empty where it has none.
// FreeBSD mounts no /proc by default but answers the same question by sysctl.
std::filesystem::path executablePath() {
#ifdef __FreeBSD__
  int name[] = {CTL_KERN, KERN_PROC, KERN_PROC_PATHNAME, -1};
  char path[PATH_MAX];
  std::size_t length = sizeof path;
  if (::sysctl(name, 4, path, &length, nullptr, 0) != 0 || length == 0) return {};
  return std::filesystem::path(path);
#else
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error);
#endif
}

}  // namespace

std::string ownDirectory(const char* argv0) {
  const std::filesystem::path self = executablePath();
  if (self.is_absolute()) return self.parent_path().string();
  if (argv0 == nullptr) return {};
  const std::string given = argv0;
  const std::size_t slash = given.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : given.substr(0, slash);
}

std::optional<std::string> findProgram(const std::string& name,
                                       const std::vector<std::string>& firstDirectories,
                                       const std::string& searchPath) {
  for (const std::string& directory : firstDirectories)
    if (!directory.empty())
      if (auto found = inDirectory(directory, name)) return found;
  if (searchPath.empty()) return std::nullopt;
  std::size_t start = 0;
  while (start <= searchPath.size()) {
    std::size_t end = searchPath.find(':', start);
    if (end == std::string::npos) end = searchPath.size();
    if (auto found = inDirectory(searchPath.substr(start, end - start), name)) return found;
    start = end + 1;
  }
  return std::nullopt;
}

std::optional<std::string> findQavCli(const char* argv0) {
  const char* path = std::getenv("PATH");
  return findProgram("qav-cli", {ownDirectory(argv0)}, path != nullptr ? path : "");
}

}  // namespace qav::menu
