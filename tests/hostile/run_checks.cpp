#include "run_checks.h"

#include <nlohmann/json.hpp>

#include <sstream>

namespace qav::hostile {

std::vector<Event> eventsOf(const CliRun& run) {
  std::vector<Event> events;
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    const auto parsed = nlohmann::ordered_json::parse(line, nullptr, false);
    const bool wellFormed = !parsed.is_discarded() && parsed.is_object() && parsed.size() == 3 &&
                            parsed.contains("level") && parsed.contains("event") && parsed.contains("message") &&
                            parsed["level"].is_string() && parsed["event"].is_string() &&
                            parsed["message"].is_string();
    EXPECT_TRUE(wellFormed) << "not an event line: " << line;
    if (wellFormed) events.push_back({parsed["level"], parsed["event"], parsed["message"]});
  }
  return events;
}

bool hasEvent(const CliRun& run, const std::string& level, const std::string& event) {
  for (const Event& e : eventsOf(run))
    if (e.level == level && e.event == event) return true;
  return false;
}

void expectFailureLine(const CliRun& run, const std::string& message, std::chrono::seconds limit) {
  EXPECT_FALSE(run.signal.has_value()) << "qav-cli died by signal " << run.signal.value_or(0);
  EXPECT_FALSE(run.killedAfterLimit) << "qav-cli hung; output:\n" << run.out << run.err;
  EXPECT_EQ(run.exitStatus, 3);
  EXPECT_EQ(run.lastErrorLine(), "Fehler: " + message);
  std::size_t errorLines = 0;
  for (std::size_t at = run.err.find("Fehler: "); at != std::string::npos; at = run.err.find("Fehler: ", at + 1))
    ++errorLines;
  EXPECT_EQ(errorLines, 1u) << run.err;
  EXPECT_LE(run.took, limit) << "took "
                             << std::chrono::duration_cast<std::chrono::milliseconds>(run.took).count() << " ms";
  eventsOf(run);
}

void expectFailure(const CliRun& run, const std::string& message, std::chrono::seconds limit) {
  expectFailureLine(run, message, limit);
  EXPECT_EQ(run.err, "Fehler: " + message + "\n");
}

std::vector<std::string> accountArguments(std::uint16_t port, const std::string& target) {
  return {"--sip-server", "127.0.0.1", "--sip-port", std::to_string(port), "--sip-user", "tester",
          "--sip-password", "tester-secret", "--target", target, "--json"};
}

}  // namespace qav::hostile
