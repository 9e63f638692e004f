#include "temporary_directory.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>

namespace qav::testing {

namespace fs = std::filesystem;

TemporaryDirectory::TemporaryDirectory() {
  std::string pattern = (fs::temp_directory_path() / "qav-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  directory = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  // A test may have taken its own rights on the directory away.
  fs::permissions(directory, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(directory, ignored);
}

std::string TemporaryDirectory::write(const std::string& name, const std::string& text, fs::perms mode) const {
  const std::string file = path(name);
  std::ofstream(file, std::ios::binary) << text;
  fs::permissions(file, mode);
  return file;
}

}  // namespace qav::testing
