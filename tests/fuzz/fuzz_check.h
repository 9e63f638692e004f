// What every fuzz target shares: a failed property aborts with its text, so
// that libFuzzer keeps the input like any other crash.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace qav::fuzz {

[[noreturn]] inline void fail(std::string_view what) {
  std::fprintf(stderr, "fuzz property failed: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

inline void check(bool holds, std::string_view what) {
  if (!holds) fail(what);
}

inline bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace qav::fuzz
