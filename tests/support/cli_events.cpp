#include "cli_events.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace qav::testing {
namespace {

const std::vector<std::string> kLevels{"info", "pending", "success", "retry", "error"};

// qav-menu's parser is lenient on purpose; the stream itself is not.
bool hasTheStreamsShape(const std::string& line) {
  const auto object = nlohmann::ordered_json::parse(line, nullptr, false);
  if (!object.is_object() || object.size() != 3) return false;
  const char* const order[] = {"level", "event", "message"};
  std::size_t i = 0;
  for (const auto& [key, value] : object.items())
    if (key != order[i++]) return false;
  return true;
}

}  // namespace

std::optional<CliEvent> eventOf(const std::string& line) {
  std::optional<CliEvent> event = qav::menu::parseCliEvent(line);
  if (!event || std::count(kLevels.begin(), kLevels.end(), event->level) != 1 || !hasTheStreamsShape(line))
    return std::nullopt;
  return event;
}

CliRun readEvents(ProcessRun process) {
  CliRun run;
  for (const OutputLine& line : process.lines) {
    if (std::optional<CliEvent> event = eventOf(line.text))
      run.events.push_back(std::move(*event));
    else
      run.malformed.push_back(line.text);
  }
  run.process = std::move(process);
  return run;
}

std::vector<const CliEvent*> CliRun::withLevel(const std::string& level) const {
  std::vector<const CliEvent*> found;
  for (const CliEvent& event : events)
    if (event.level == level) found.push_back(&event);
  return found;
}

std::vector<std::string> CliRun::messages(const std::string& level) const {
  std::vector<std::string> found;
  for (const CliEvent* event : withLevel(level)) found.push_back(event->message);
  return found;
}

bool CliRun::has(const std::string& level, const std::string& event) const {
  return std::any_of(events.begin(), events.end(),
                     [&](const CliEvent& e) { return e.level == level && e.event == event; });
}

std::optional<Clock::time_point> CliRun::arrivalOf(const CliEvent& wanted) const {
  // Events and lines correspond one to one only when nothing was malformed.
  if (!malformed.empty()) return std::nullopt;
  for (std::size_t i = 0; i < events.size(); ++i)
    if (events[i] == wanted) return process.lines[i].arrived;
  return std::nullopt;
}

std::vector<std::string> segmentLabels(const CliRun& run) {
  std::vector<std::string> labels;
  const std::regex segment("  (?:├|└)─ (.*) \\(Versuch \\d+/\\d+\\)");
  std::smatch match;
  for (const std::string& message : run.messages("pending"))
    if (std::regex_match(message, match, segment)) labels.push_back(match[1]);
  return labels;
}

std::string extract(const std::vector<std::string>& texts, const std::regex& pattern) {
  std::smatch match;
  for (auto text = texts.rbegin(); text != texts.rend(); ++text) {
    if (!std::regex_search(*text, match, pattern)) continue;
    std::string joined;
    for (std::size_t i = 1; i < match.size(); ++i) joined += match[i];
    return joined;
  }
  return "";
}

}  // namespace qav::testing

namespace qav::menu {

std::ostream& operator<<(std::ostream& out, const CliEvent& event) {
  return out << event.level << " " << event.event << " \"" << event.message << "\"";
}

}  // namespace qav::menu
