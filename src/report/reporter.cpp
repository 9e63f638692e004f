#include "report/reporter.h"

#include <unistd.h>

#include <iostream>

namespace qav {

namespace {

struct LevelStyle {
  const char* word;
  const char* symbol;
  const char* colour;
};

LevelStyle styleOf(EventLevel level) {
  switch (level) {
    case EventLevel::Info: return {"info", "i", "36"};
    case EventLevel::Pending: return {"pending", "\u2026", "36"};
    case EventLevel::Success: return {"success", "\u2713", "32"};
    case EventLevel::Retry: return {"retry", "\u21bb", "33"};
    case EventLevel::Error: break;
  }
  return {"error", "\u2717", "31"};
}

bool colourWanted(ColorMode color, bool json, bool outputIsTerminal) {
  if (json) return false;
  switch (color) {
    case ColorMode::Always: return true;
    case ColorMode::Never: return false;
    case ColorMode::Auto: break;
  }
  return outputIsTerminal;
}

std::string escaped(const std::string& text, bool quotes) {
  std::string out;
  out.reserve(text.size() + 8);
  for (const char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '"': out += quotes ? "\\\"" : "\""; break;
      case '\\': out += quotes ? "\\\\" : "\\"; break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20) out += c;
    }
  }
  return out;
}

}  // namespace

Reporter::Reporter(ColorMode color, bool json)
    : Reporter(color, json, std::cout, color == ColorMode::Auto && isatty(1) == 1) {}

Reporter::Reporter(ColorMode color, bool json, std::ostream& out, bool outputIsTerminal)
    : out(&out), useColor(colourWanted(color, json, outputIsTerminal)), json(json) {}

void Reporter::info(const std::string& event, const std::string& message) {
  report(EventLevel::Info, event, message);
}
void Reporter::pending(const std::string& event, const std::string& message) {
  report(EventLevel::Pending, event, message);
}
void Reporter::success(const std::string& event, const std::string& message) {
  report(EventLevel::Success, event, message);
}
void Reporter::retry(const std::string& event, const std::string& message) {
  report(EventLevel::Retry, event, message);
}
void Reporter::error(const std::string& event, const std::string& message) {
  report(EventLevel::Error, event, message);
}

// Supervising programs read the stream while the call runs, so every event
// is flushed on its own.
void Reporter::report(EventLevel level, const std::string& event, const std::string& message) {
  const LevelStyle style = styleOf(level);
  std::ostream& o = *out;
  if (json) {
    o << "{\"level\":\"" << style.word << "\",\"event\":\"" << escapeJson(event)
      << "\",\"message\":\"" << escapeJson(message) << "\"}\n";
  } else {
    if (useColor) o << "\x1b[" << style.colour << 'm';
    o << '[' << style.symbol << ']';
    if (useColor) o << "\x1b[0m";
    o << ' ' << message << '\n';
  }
  o.flush();
}

std::string escapeJson(const std::string& text) { return escaped(text, true); }

std::string escapeControlBytes(const std::string& text) { return escaped(text, false); }

}  // namespace qav
