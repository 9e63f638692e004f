// What every hostile run must show: a normal exit with the expected status
// and error line, within the protocol's limit, and a well-formed JSON stream.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "cli_run.h"

namespace qav::hostile {

struct Event {
  std::string level;
  std::string event;
  std::string message;
};

// The events of a --json run; a line that is not an event object fails the
// test.
std::vector<Event> eventsOf(const CliRun& run);
bool hasEvent(const CliRun& run, const std::string& level, const std::string& event);

// Exit status 3, "Fehler: " + message as the one error line and the last
// line of standard error, no signal, and ended within limit.
void expectFailureLine(const CliRun& run, const std::string& message, std::chrono::seconds limit);
// The same, with nothing else on standard error.
void expectFailure(const CliRun& run, const std::string& message, std::chrono::seconds limit);

// The PBX account with --json; the target and further options follow.
std::vector<std::string> accountArguments(std::uint16_t port, const std::string& target);

}  // namespace qav::hostile
