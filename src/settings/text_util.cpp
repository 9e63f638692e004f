#include "settings/text_util.h"

namespace qav {

namespace {

constexpr std::string_view blanks = " \t\n\r";

}  // namespace

std::string trimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(blanks);
  return std::string(text.substr(first, last - first + 1));
}

std::string lowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lowered;
}

}  // namespace qav
