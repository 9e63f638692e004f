// Byte-wise text helpers shared by the settings readers: trimming of the
// blanks the sources tolerate and ASCII-only case folding.
#pragma once

#include <string>
#include <string_view>

namespace qav {

// Removes space, tab, line feed and carriage return at both ends; other
// white space (vertical tab, form feed, non-ASCII) is kept as data.
std::string trimBlanks(std::string_view text);

// Folds "A" to "Z" only. Bytes from 0x80 up are left alone, so UTF-8 and
// stray Latin-1 bytes pass through unchanged.
std::string lowerAscii(std::string_view text);

}  // namespace qav
