#include "bad_network_call.h"

#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>

#include "shell_word.h"
#include "test_pbx.h"

#ifndef QAV_SHAPE
#error "QAV_SHAPE must name the shaping script"
#endif
#ifndef QAV_PACKET_DELAY
#error "QAV_PACKET_DELAY must name the packet delay tool"
#endif

namespace qav::netem {

using namespace std::chrono_literals;
using qav::testing::NetworkLab;
using qav::testing::runCommand;
using qav::testing::shellWord;

const std::vector<ProgrammedValue> kJob{{"dial-attempts", "12", "5"}, {"z208", "00000017", "00000042"}};
const std::vector<std::string> kJobArguments{"--actions", "dial-attempts,z208", "--dial-attempts", "5",
                                             "--z208", "42"};

namespace {

std::string joined(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) line += (line.empty() ? "" : " ") + shellWord(word);
  return line;
}

const std::string kAnswerName =
    "(einfacher Bestätigungston|doppelter Bestätigungston|Mehrgeräte-Nachwahlaufforderung|"
    "alternierende Trennfolge|Parameter-Fehlerton)";
const std::string kSingleFailure = "(Keine QAV-Rückmeldung erkannt\\.|Ungültige Eingabe laut QAV\\.|"
                                   "Unerwartete Rückmeldung: " + kAnswerName + "|"
                                   "Keine QAV-Rückmeldung innerhalb des Zeitlimits erkannt\\.|"
                                   "Das QAV meldet einen ungültigen Parameter\\.|"
                                   "Erwartet: " + kAnswerName + "; erkannt: " + kAnswerName + "\\.|"
                                   "DTMF kann ohne aktive Verbindung nicht gesendet werden\\.|"
                                   "DTMF konnte nicht gesendet werden: .+|"
                                   "Inband-DTMF-Ausgabepuffer wurde nicht abgearbeitet\\.)";

}  // namespace

std::size_t CliOutcome::retries() const {
  std::size_t count = 0;
  for (const CliEvent& event : events) count += event.level == "retry";
  return count;
}

std::chrono::milliseconds CliOutcome::duration() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(process.ended - process.started);
}

bool isSpecifiedFailure(const std::string& message) {
  static const std::regex specified(
      "Kein QAV-Startsignal innerhalb des Zeitlimits erkannt\\.|"
      "Anruf wurde vor dem QAV-Startsignal beendet\\.|"
      "QAV/Telefonnetz hat die Verbindung beendet\\.|"
      "Das QAV hat die Verbindung beendet\\.|"
      "SIP-Verbindung wurde beendet\\.|"
      "Nach \\d+ Wiederholungen fehlgeschlagen: " + kSingleFailure + "|"
      "(Anwahlversuche|Z208-ID) nach \\d+ Wiederholungen fehlgeschlagen: " + kSingleFailure + "|"
      "Zeitüberschreitung bei der SIP-Registrierung\\.|"
      "SIP-Registrierung fehlgeschlagen \\(SIP \\d+\\)\\.|"
      "Anruf fehlgeschlagen \\(SIP \\d+\\)\\.|"
      "Zeitüberschreitung beim Anrufaufbau\\.");
  return std::regex_match(message, specified);
}

void BadNetworkCallTest::SetUp() {
  NetworkLabTest::SetUp();
  if (IsSkipped()) return;
  pbx = std::make_unique<OutagePbx>(net(), net().directory() + "/pbx");
  site = {net().wanAddress(), pbx->udpPort(), "", NetworkLab::inNamespace(net().wanNamespace(), {}),
          NetworkLab::inNamespace(net().lanNamespace(), {}), net().directory()};
}

void BadNetworkCallTest::TearDown() {
  simulator.reset();
  pbx.reset();
  NetworkLabTest::TearDown();
}

void BadNetworkCallTest::shape(const std::string& ns, const std::vector<std::string>& arguments) {
  const std::string output = runCommand("PACKET_DELAY=" + shellWord(QAV_PACKET_DELAY) + " " + shellWord(QAV_SHAPE) + " " +
                                        shellWord(ns) + " " + joined(arguments) + " 2>&1 && echo shaped");
  ASSERT_NE(output.find("shaped"), std::string::npos) << output;
}

std::uint64_t BadNetworkCallTest::shapedPackets() {
  std::uint64_t total = 0;
  for (const std::string& ns : {net().lanNamespace(), net().wanNamespace()})
    total += std::stoull(runCommand(shellWord(QAV_SHAPE) + " " + shellWord(ns) + " count 2>/dev/null || echo 0"));
  return total;
}

void BadNetworkCallTest::loseRtp(double percent) {
  std::ostringstream share;
  share << percent;
  shape(net().wanNamespace(), {"clear"});
  shape(net().lanNamespace(), {"clear"});
  shape(net().wanNamespace(), {"loss", "from-cli", share.str()});
  shape(net().lanNamespace(), {"loss", "to-cli", share.str()});
}

void BadNetworkCallTest::delayAll(int delayMs, int jitterMs, int reorderPercent, int holdMs) {
  const std::vector<std::string> how{"delay", "all", std::to_string(delayMs), std::to_string(jitterMs),
                                     std::to_string(reorderPercent), std::to_string(holdMs)};
  shape(net().lanNamespace(), {"clear"});
  shape(net().wanNamespace(), {"clear"});
  shape(net().lanNamespace(), how);
  shape(net().wanNamespace(), how);
}

std::vector<std::string> BadNetworkCallTest::jobArguments(const std::vector<std::string>& extra) {
  std::vector<std::string> arguments = kFastDigits;
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  arguments.insert(arguments.end(), kJobArguments.begin(), kJobArguments.end());
  return arguments;
}

void BadNetworkCallTest::describe(const std::string& what, const CliOutcome& outcome) {
  std::cout << what << ": status " << (outcome.process.status ? std::to_string(*outcome.process.status) : "none")
            << " after " << outcome.duration().count() << " ms, " << outcome.retries() << " retries"
            << (outcome.process.err.empty() ? "\n" : ", " + outcome.process.err);
  for (const CliEvent& event : outcome.events)
    if (event.level == "retry" || event.event == "tone") std::cout << "  " << event.message << "\n";
  std::cout << std::flush;
}

void BadNetworkCallTest::callUnderLoss(double percent, const std::vector<std::string>& dtmf) {
  loseRtp(percent);
  seedEarlierValues();
  startSimulator();
  const CliOutcome outcome = call(jobArguments(dtmf));
  std::ostringstream what;
  what << percent << " % RTP loss";
  describe(what.str(), outcome);
  EXPECT_GT(shapedPackets(), 0u) << "no RTP was lost";
  expectSpecifiedEnding(outcome);
  EXPECT_EQ(simulator->finish(20s), 0) << "qav-sim did not end after its call";
  expectRequestedOrEarlierValues(outcome);
  EXPECT_FALSE(pbx->hasLocation("tester")) << "qav-cli left its registration behind";
}

void BadNetworkCallTest::seedEarlierValues() {
  nlohmann::json state = nlohmann::json::object();
  for (const ProgrammedValue& value : kJob) state[value.key] = value.earlier;
  seedState(state);
}

CliOutcome BadNetworkCallTest::call(const std::vector<std::string>& extra, std::chrono::milliseconds limit) {
  CliOutcome outcome{runCall(extra, limit), limit};
  EXPECT_TRUE(outcome.malformed.empty()) << "not an event line: " << outcome.malformed.front();
  return outcome;
}

void BadNetworkCallTest::expectSpecifiedEnding(const CliOutcome& outcome) const {
  ASSERT_FALSE(outcome.hung()) << "qav-cli still ran after " << outcome.limit.count() << " ms";
  ASSERT_TRUE(outcome.process.status.has_value()) << "qav-cli died by a signal; stderr: " << outcome.process.err;
  const int status = *outcome.process.status;
  if (status == 0) {
    EXPECT_EQ(outcome.process.err, "");
    ASSERT_FALSE(outcome.events.empty());
    EXPECT_EQ(outcome.events.back().level, "success");
    EXPECT_EQ(outcome.events.back().event, "complete");
    EXPECT_EQ(outcome.events.back().message, "Programmierung abgeschlossen");
    return;
  }
  EXPECT_EQ(status, 3);
  const std::string& err = outcome.process.err;
  const std::string prefix = "Fehler: ";
  ASSERT_TRUE(err.rfind(prefix, 0) == 0 && err.size() > prefix.size() && err.back() == '\n' &&
              err.find('\n') == err.size() - 1)
      << "not one error line: " << err;
  EXPECT_TRUE(isSpecifiedFailure(err.substr(prefix.size(), err.size() - prefix.size() - 1))) << err;
  if (!outcome.events.empty()) {
    EXPECT_NE(outcome.events.back().level, "error");
  }
}

void BadNetworkCallTest::expectRequestedOrEarlierValues(const CliOutcome& outcome) const {
  const nlohmann::json state = readState();
  ASSERT_FALSE(state.is_discarded()) << "the device state is not JSON";
  ASSERT_TRUE(state.is_object()) << "the device state is missing";
  for (const ProgrammedValue& value : kJob) {
    SCOPED_TRACE(value.key);
    const std::string held = state.value(value.key, "");
    if (outcome.process.status == 0)
      EXPECT_EQ(held, value.requested);
    else
      EXPECT_TRUE(held == value.requested || held == value.earlier) << "the device holds " << held;
  }
}

}  // namespace qav::netem
