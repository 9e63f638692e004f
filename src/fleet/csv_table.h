// The rows of a CSV text as libcsv parses them (RFC 4180 quoting, ";" or
// ","), each with the line it begins on, and the findings that stop reading.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qav::fleet {

// One thing wrong with the list, named by the line of the file it is on.
struct LineFinding {
  std::size_t line = 0;  // 0: the file as a whole
  std::string message;   // German, without "Fehler: " and the line
};

struct CsvRow {
  std::size_t line = 0;  // where the row begins; a quoted line break does not start a row
  std::vector<std::string> fields;
};

// Plain value.
struct CsvTable {
  char separator = ';';
  std::vector<CsvRow> rows;           // empty lines are not rows
  std::vector<LineFinding> findings;  // rows with a finding are left out
};

inline constexpr std::size_t maxCsvRows = 100001;  // header and 100,000 lifts
inline constexpr std::size_t maxFieldBytes = 64 * 1024;

// A byte-order mark is skipped. The separator is ";" when the first row
// holds one, else ",". NUL, other control bytes and text that is not UTF-8
// end the reading with one finding before any row is parsed: such a file is
// no list, and a line for every byte of it would help nobody. A quoting
// error ends it too, as does a row past maxCsvRows, which leaves no rows; a
// field over maxFieldBytes is a finding of its row.
CsvTable parseCsv(std::string_view text);

}  // namespace qav::fleet
