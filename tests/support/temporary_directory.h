// A fresh directory under the system's temporary directory for one test,
// removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

namespace qav::testing {

// Owned by one test; files a test made unreadable are removed as well.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const std::string& path() const { return directory; }
  // The path of `name` inside it.
  std::string path(const std::string& name) const { return directory + "/" + name; }
  // Writes `text` to `name` inside it with that mode; returns its path.
  std::string write(const std::string& name, const std::string& text,
                    std::filesystem::perms mode = std::filesystem::perms(0600)) const;

 private:
  std::string directory;
};

}  // namespace qav::testing
