// One progress event of qav-cli's JSON-line stream, and its console form
// with the status symbol, coloured like qav-cli's own console output.
#pragma once

#include <optional>
#include <string>

namespace qav::menu {

struct CliEvent {
  std::string level;  // info, pending, success, retry, error
  std::string event;
  std::string message;

  bool operator==(const CliEvent&) const = default;
};

// Nothing for a line that is not a JSON object with the three texts.
std::optional<CliEvent> parseCliEvent(const std::string& line);

// "[✓] message"; with colour the bracketed symbol alone is coloured.
std::string renderEvent(const CliEvent& event, bool colour);

// A line that is no event is shown as it came, behind a marker.
std::string renderRawLine(const std::string& line);

}  // namespace qav::menu
