// qav-cli's --json output read back with the parser qav-menu uses, and held
// to the stream's form: one object a line with exactly level, event and
// message, in that order, and a level of the five.
#pragma once

#include <chrono>
#include <optional>
#include <regex>
#include <ostream>
#include <string>
#include <vector>

#include "menu/cli_event.h"
#include "process.h"

namespace qav::testing {

using qav::menu::CliEvent;

// A run of qav-cli with --json and its events.
struct CliRun {
  ProcessRun process;
  std::vector<CliEvent> events;
  // Lines of standard output that are not an event line.
  std::vector<std::string> malformed;

  const std::optional<int>& status() const { return process.status; }
  std::vector<const CliEvent*> withLevel(const std::string& level) const;
  // The messages of the events with that level, in order.
  std::vector<std::string> messages(const std::string& level) const;
  bool has(const std::string& level, const std::string& event) const;
  // The arrival time of the first event equal to `wanted`, if any.
  std::optional<Clock::time_point> arrivalOf(const CliEvent& wanted) const;
};

// The segment labels of the attempts of a real run, in order, without the
// tree prefix and the attempt suffix.
std::vector<std::string> segmentLabels(const CliRun& run);
// The groups of the last text that matches, joined; "" when none does. A
// repeated clock sequence takes the time anew, so the device holds what the
// last attempt sent.
std::string extract(const std::vector<std::string>& texts, const std::regex& pattern);

// The event of one line, or none when it is no event line.
std::optional<CliEvent> eventOf(const std::string& line);
CliRun readEvents(ProcessRun process);

}  // namespace qav::testing

namespace qav::menu {
// How a failed comparison shows an event.
std::ostream& operator<<(std::ostream& out, const CliEvent& event);
}  // namespace qav::menu
