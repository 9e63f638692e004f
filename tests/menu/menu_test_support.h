// Helpers of the menu tests: a private scratch directory, environment
// variables set for one test, and whole files as text.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace qav::menu::test {

class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "qav-menu-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) root = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  std::string path(const std::string& name) const { return (root / name).string(); }
  const std::filesystem::path& directory() const { return root; }

 private:
  std::filesystem::path root;
};

// Sets (or with nothing, unsets) one variable and restores it afterwards.
class ScopedVariable {
 public:
  ScopedVariable(std::string name, const std::optional<std::string>& value)
      : name(std::move(name)) {
    if (const char* old = std::getenv(this->name.c_str())) previous = old;
    if (value)
      ::setenv(this->name.c_str(), value->c_str(), 1);
    else
      ::unsetenv(this->name.c_str());
  }
  ~ScopedVariable() {
    if (previous)
      ::setenv(name.c_str(), previous->c_str(), 1);
    else
      ::unsetenv(name.c_str());
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  std::string name;
  std::optional<std::string> previous;
};

inline std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> fileLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace qav::menu::test
