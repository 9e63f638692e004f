#include "shell_word.h"

namespace qav::testing {

std::string shellWord(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace qav::testing
