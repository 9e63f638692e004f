// Reading the device list file: bounded in size, never waiting on a pipe
// that has no writer, and with the permission bits of the file it read.
#pragma once

#include <cstddef>
#include <string>

namespace qav::fleet {

inline constexpr std::size_t maxListBytes = 64 * 1024 * 1024;

// Plain value.
struct ListFile {
  std::string text;
  // Neither group nor others may read or write it (mode 0600 or stricter).
  bool ownerOnly = false;
};

// Throws std::runtime_error with a German sentence naming the file.
ListFile readListFile(const std::string& path);

}  // namespace qav::fleet
