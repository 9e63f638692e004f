#include "fleet/csv_table.h"

#include <csv.h>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace qav::fleet {

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kFieldBufferStep = 1 << 20;

std::string hexByte(unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", byte);
  return text;
}

// Length of the UTF-8 sequence at `at`, or 0 when it is none (overlong
// forms and surrogates included, as those are no text either).
std::size_t utf8Length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  return length;
}

bool endsLine(std::string_view text, std::size_t at) {
  return text[at] == '\n' || (text[at] == '\r' && (at + 1 == text.size() || text[at + 1] != '\n'));
}

// The first byte that makes the text no list: NUL, a control byte other
// than tab and line breaks, or a byte outside UTF-8.
std::optional<LineFinding> encodingFinding(std::string_view text) {
  std::size_t line = 1;
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte == 0) return LineFinding{line, "NUL-Byte in der Liste; sie ist keine CSV-Textdatei."};
    if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F)
      return LineFinding{line, "Steuerzeichen (Byte " + hexByte(byte) +
                                   ") in der Liste; sie ist keine CSV-Textdatei."};
    const std::size_t length = utf8Length(text, at);
    if (length == 0)
      return LineFinding{line, "Byte " + hexByte(byte) +
                                   " ist kein UTF-8; die Liste als CSV in UTF-8 speichern."};
    if (endsLine(text, at)) ++line;
    at += length;
  }
  return std::nullopt;
}

// Spreadsheets in German locales write ";", others ","; the header row of
// setting keys holds neither otherwise.
char detectSeparator(std::string_view text) {
  const std::size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return ';';
  const std::string_view first = text.substr(start, text.find_first_of("\r\n", start) - start);
  if (first.find(';') != std::string_view::npos) return ';';
  return first.find(',') != std::string_view::npos ? ',' : ';';
}

bool hasContent(std::string_view chunk) {
  return chunk.find_first_not_of(" \t\r\n") != std::string_view::npos;
}

// State of one parse, handed to libcsv's callbacks.
struct Parse {
  CsvTable table;
  CsvRow row;
  bool rowOpen = false;
  bool rowDamaged = false;
  bool full = false;
};

void onField(void* data, std::size_t size, void* state) {
  Parse& parse = *static_cast<Parse*>(state);
  if (size > maxFieldBytes) {
    if (!parse.rowDamaged)
      parse.table.findings.push_back(
          {parse.row.line, "Feld " + std::to_string(parse.row.fields.size() + 1) + " ist " +
                               std::to_string(size) + " Bytes lang; erlaubt sind höchstens " +
                               std::to_string(maxFieldBytes) + "."});
    parse.rowDamaged = true;
    parse.row.fields.emplace_back();
    return;
  }
  parse.row.fields.emplace_back(size == 0 ? "" : static_cast<const char*>(data), size);
}

// A row of separators only is what a spreadsheet writes for a blank line.
void onRowEnd(int, void* state) {
  Parse& parse = *static_cast<Parse*>(state);
  const bool blank = std::all_of(parse.row.fields.begin(), parse.row.fields.end(),
                                 [](const std::string& field) { return field.empty(); });
  if (!parse.rowDamaged && !blank) {
    if (parse.table.rows.size() == maxCsvRows) {
      parse.full = true;
      parse.table.findings.push_back(
          {0, "Die Liste hat mehr als " + std::to_string(maxCsvRows - 1) +
                  " Anlagen; so viele sind höchstens in einem Lauf möglich."});
    } else {
      parse.table.rows.push_back(std::move(parse.row));
    }
  }
  parse.row = CsvRow{};
  parse.rowOpen = false;
  parse.rowDamaged = false;
}

// Owns a libcsv parser in strict mode: a stray quote is an error, not data.
class Parser {
 public:
  explicit Parser(char separator) {
    csv_init(&parser_, CSV_STRICT | CSV_STRICT_FINI);
    csv_set_delim(&parser_, static_cast<unsigned char>(separator));
    // libcsv grows a field's buffer by this step, not by doubling: at its
    // default of 128 bytes a field of megabytes costs tens of thousands of
    // reallocations, each copying the whole field.
    csv_set_blk_size(&parser_, kFieldBufferStep);
  }
  ~Parser() { csv_free(&parser_); }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  bool feed(std::string_view chunk, Parse& parse) {
    return csv_parse(&parser_, chunk.data(), chunk.size(), onField, onRowEnd, &parse) ==
           chunk.size();
  }
  bool finish(Parse& parse) { return csv_fini(&parser_, onField, onRowEnd, &parse) == 0; }

 private:
  csv_parser parser_{};
};

}  // namespace

// libcsv knows no lines; it is fed one line at a time, so that a row begins
// on the line being fed when no row is open and the line holds more than
// blanks. A row stays open across the line breaks inside its quotes.
CsvTable parseCsv(std::string_view text) {
  if (text.starts_with(byteOrderMark)) text.remove_prefix(byteOrderMark.size());
  Parse parse;
  if (const std::optional<LineFinding> finding = encodingFinding(text)) {
    parse.table.findings.push_back(*finding);
    return std::move(parse.table);
  }
  parse.table.separator = detectSeparator(text);
  Parser parser(parse.table.separator);
  std::size_t line = 1;
  for (std::size_t start = 0; start < text.size() && !parse.full;) {
    std::size_t end = start;
    while (end < text.size() && !endsLine(text, end)) ++end;
    const bool lineEnds = end < text.size();
    if (lineEnds) ++end;
    const std::string_view chunk = text.substr(start, end - start);
    if (!parse.rowOpen && hasContent(chunk)) {
      parse.row.line = line;
      parse.rowOpen = true;
    }
    if (!parser.feed(chunk, parse)) {
      parse.table.findings.push_back(
          {line, "Anführungszeichen falsch gesetzt: ein Feld mit \" muss ganz in "
                 "Anführungszeichen stehen, ein \" darin verdoppelt."});
      return std::move(parse.table);
    }
    if (lineEnds) ++line;
    start = end;
  }
  // Past the limit the rows read are no use: the list as a whole is refused.
  if (parse.full) parse.table.rows.clear();
  if (!parse.full && !parser.finish(parse))
    parse.table.findings.push_back(
        {parse.row.line, "Anführungszeichen nicht geschlossen; das Feld reicht bis zum Dateiende."});
  return std::move(parse.table);
}

}  // namespace qav::fleet
