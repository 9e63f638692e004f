// Progress events on standard output: console lines with a status symbol
// (optionally coloured) or one JSON object per line, each flushed at once.
#pragma once

#include <iosfwd>
#include <string>

#include "settings/settings.h"

namespace qav {

enum class EventLevel { Info, Pending, Success, Retry, Error };

class Reporter {
 public:
  // Writes to standard output; colour "auto" asks isatty(1), once, here.
  Reporter(ColorMode color, bool json);
  // Writes to out; outputIsTerminal stands in for isatty(1).
  Reporter(ColorMode color, bool json, std::ostream& out, bool outputIsTerminal);

  void info(const std::string& event, const std::string& message);
  void pending(const std::string& event, const std::string& message);
  void success(const std::string& event, const std::string& message);
  void retry(const std::string& event, const std::string& message);
  void error(const std::string& event, const std::string& message);

  void report(EventLevel level, const std::string& event, const std::string& message);

  bool usesColor() const { return useColor; }
  bool writesJson() const { return json; }

 private:
  std::ostream* out;
  bool useColor;
  bool json;
};

// Escapes a UTF-8 text for a JSON string: \t \n \r \" \\, other control
// bytes below 0x20 dropped, every other byte copied.
std::string escapeJson(const std::string& text);

// The control bytes of a text escaped as escapeJson escapes them, quotes and
// backslashes copied: a value from the input can then neither break a line
// of standard error in two nor send escape sequences to the terminal.
std::string escapeControlBytes(const std::string& text);

}  // namespace qav
