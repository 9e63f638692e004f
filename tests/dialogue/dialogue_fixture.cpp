#include "dialogue_fixture.h"

namespace qav {

std::ostream& operator<<(std::ostream& out, const Event& e) {
  return out << e.level << " " << e.event << " \"" << e.message << "\"";
}

namespace {

// The reporter's lines have a fixed member order and our messages hold no
// escaped characters, so cutting at the separators is enough.
Event parseLine(const std::string& line) {
  const std::string levelKey = "{\"level\":\"", eventKey = "\",\"event\":\"",
                    messageKey = "\",\"message\":\"";
  const auto eventAt = line.find(eventKey);
  const auto messageAt = line.find(messageKey);
  if (line.rfind(levelKey, 0) != 0 || eventAt == std::string::npos ||
      messageAt == std::string::npos || line.size() < 2 || line.substr(line.size() - 2) != "\"}") {
    ADD_FAILURE() << "not an event line: " << line;
    return {};
  }
  const auto messageStart = messageAt + messageKey.size();
  return {line.substr(levelKey.size(), eventAt - levelKey.size()),
          line.substr(eventAt + eventKey.size(), messageAt - eventAt - eventKey.size()),
          line.substr(messageStart, line.size() - 2 - messageStart)};
}

}  // namespace

std::vector<Event> DialogueTest::events() const {
  std::vector<Event> result;
  std::istringstream lines(output.str());
  for (std::string line; std::getline(lines, line);) result.push_back(parseLine(line));
  return result;
}

std::vector<Event> DialogueTest::eventsAt(const std::string& level) const {
  std::vector<Event> result;
  for (const Event& e : events())
    if (e.level == level) result.push_back(e);
  return result;
}

}  // namespace qav
