// qav-cli run against hostile peers, and what every such run must show: a
// normal exit with the expected status and error line, within the
// protocol's limit, and a well-formed JSON stream.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cli_events.h"
#include "process.h"

namespace qav::hostile {

using qav::testing::childrenOf;
using qav::testing::Clock;
using qav::testing::processArguments;
using qav::testing::ProcessRun;
using Event = qav::menu::CliEvent;

struct CliCall {
  std::vector<std::string> args;              // without argument 0
  std::map<std::string, std::string> env;     // added to PATH and TZ
  std::chrono::milliseconds limit{std::chrono::seconds(120)};
  std::string cwd;                            // empty: the test's own
  // Called about every 10 ms with the child's pid while it runs.
  std::function<void(pid_t)> whileRunning;
};

// qav-cli under a hard limit, with only PATH, TZ=UTC and call.env set.
ProcessRun runCli(const CliCall& call);

// The events of a --json run; a line that is not an event line fails the
// test.
std::vector<Event> eventsOf(const ProcessRun& run);
bool hasEvent(const ProcessRun& run, const std::string& level, const std::string& event);

// Exit status 3, "Fehler: " + message as the one error line and the last
// line of standard error, no signal, and ended within limit.
void expectFailureLine(const ProcessRun& run, const std::string& message, std::chrono::seconds limit);
// The same, with nothing else on standard error.
void expectFailure(const ProcessRun& run, const std::string& message, std::chrono::seconds limit);

// The PBX account with --json; the target and further options follow.
std::vector<std::string> accountArguments(std::uint16_t port, const std::string& target);

}  // namespace qav::hostile
