#include "run_checks.h"

#include "programming_call.h"

namespace qav::hostile {

ProcessRun runCli(const CliCall& call) {
  qav::testing::Command command = qav::testing::cliCommand(call.args, call.env);
  command.cwd = call.cwd;
  return qav::testing::runToEnd(command, call.limit, call.whileRunning);
}

std::vector<Event> eventsOf(const ProcessRun& run) {
  std::vector<Event> events;
  for (const qav::testing::OutputLine& line : run.lines) {
    std::optional<Event> event = qav::testing::eventOf(line.text);
    EXPECT_TRUE(event) << "not an event line: " << line.text;
    if (event) events.push_back(std::move(*event));
  }
  return events;
}

bool hasEvent(const ProcessRun& run, const std::string& level, const std::string& event) {
  for (const Event& e : eventsOf(run))
    if (e.level == level && e.event == event) return true;
  return false;
}

void expectFailureLine(const ProcessRun& run, const std::string& message, std::chrono::seconds limit) {
  EXPECT_FALSE(run.signal.has_value()) << "qav-cli died by signal " << run.signal.value_or(0);
  EXPECT_FALSE(run.killedAfterLimit) << "qav-cli hung; output:\n" << run.out << run.err;
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.lastErrorLine(), "Fehler: " + message);
  std::size_t errorLines = 0;
  for (std::size_t at = run.err.find("Fehler: "); at != std::string::npos; at = run.err.find("Fehler: ", at + 1))
    ++errorLines;
  EXPECT_EQ(errorLines, 1u) << run.err;
  EXPECT_LE(run.took(), limit) << "took "
                               << std::chrono::duration_cast<std::chrono::milliseconds>(run.took()).count() << " ms";
  eventsOf(run);
}

void expectFailure(const ProcessRun& run, const std::string& message, std::chrono::seconds limit) {
  expectFailureLine(run, message, limit);
  EXPECT_EQ(run.err, "Fehler: " + message + "\n");
}

std::vector<std::string> accountArguments(std::uint16_t port, const std::string& target) {
  return {"--sip-server", "127.0.0.1", "--sip-port", std::to_string(port), "--sip-user", "tester",
          "--sip-password", "tester-secret", "--target", target, "--json"};
}

}  // namespace qav::hostile
