#include <algorithm>
#include <stdexcept>

#include "dialogue/connection_ended.h"
#include "dialogue/device_programmer.h"

namespace qav {

namespace {

// How long a lone single confirmation may wait for its partner when a
// double one is expected.
constexpr std::int64_t kSecondToneMs = 2000;

}  // namespace

Signal DeviceProgrammer::awaitResponse(Signal expected, std::int64_t timeoutMs) {
  const std::optional<Signal> answer = hearAnswer(expected, timeoutMs);
  judgeAnswer(expected, answer);
  return *answer;
}

// The answer as the QAV gave it, a double tone in two parts joined; none
// when nothing came in time.
std::optional<Signal> DeviceProgrammer::hearAnswer(Signal expected, std::int64_t timeoutMs) {
  const std::optional<Signal> received = session.waitSignal(timeoutMs);
  if (!received) return std::nullopt;
  Signal answer = *received;
  if (expected == Signal::DoubleConfirmation && answer == Signal::SingleConfirmation)
    answer = completeDoubleTone(timeoutMs);
  settle();
  return answer;
}

void DeviceProgrammer::judgeAnswer(Signal expected, std::optional<Signal> heard) {
  if (!heard)
    throw std::runtime_error("Keine QAV-Rückmeldung innerhalb des Zeitlimits erkannt.");
  const Signal answer = *heard;
  if (answer == Signal::ParameterError)
    throw std::runtime_error("Das QAV meldet einen ungültigen Parameter.");
  if (answer == Signal::AlternatingDisconnect)
    throw ConnectionEnded("Das QAV hat die Verbindung beendet.");
  if (answer == expected) return;
  throw std::runtime_error("Erwartet: " + signalName(expected) + "; erkannt: " +
                           signalName(answer) + ".");
}

// A double confirmation whose two bursts stood far enough apart is
// classified as two single groups; the second one completes it.
Signal DeviceProgrammer::completeDoubleTone(std::int64_t timeoutMs) {
  const std::optional<Signal> second = session.waitSignal(std::min(timeoutMs, kSecondToneMs));
  if (!second) return Signal::SingleConfirmation;
  if (*second == Signal::SingleConfirmation || *second == Signal::DoubleConfirmation)
    return Signal::DoubleConfirmation;
  return *second;
}

}  // namespace qav
