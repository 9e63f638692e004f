#include <algorithm>
#include <chrono>
#include <exception>
#include <stdexcept>

#include "dialogue/connection_ended.h"
#include "dialogue/device_programmer.h"

namespace qav {

namespace {

constexpr std::int64_t kExchangeTimeoutMs = 10000;
constexpr std::chrono::milliseconds kRetryPause{700};

std::string attemptSuffix(std::uint64_t attempt, std::uint64_t attempts) {
  return " (Versuch " + std::to_string(attempt) + "/" + std::to_string(attempts) + ")";
}

std::string segmentPrefix(std::size_t index, std::size_t count) {
  return index + 1 == count ? "  └─ " : "  ├─ ";
}

bool isAccepted(const std::vector<Signal>& accepted, Signal answer) {
  return std::find(accepted.begin(), accepted.end(), answer) != accepted.end();
}

}  // namespace

// An ended call makes every further attempt pointless, so it ends the
// repetitions at once, whether the QAV announced it or a step merely failed
// on a dead line.
std::optional<std::string> DeviceProgrammer::attemptWithRetries(const std::string& event,
                                                                const std::string& retryNote,
                                                                const Attempt& attempt) {
  // Counted wide, so that no number of retries can wrap the count.
  const std::uint64_t attempts = std::uint64_t{settings.device.retries} + 1;
  std::string lastError;
  for (std::uint64_t a = 1; a <= attempts; ++a) {
    try {
      attempt(a, attempts);
      return std::nullopt;
    } catch (const ConnectionEnded&) {
      throw;
    } catch (const std::exception& failure) {
      lastError = failure.what();
      if (!session.isConnected()) throw ConnectionEnded("SIP-Verbindung wurde beendet.");
      if (a == attempts) break;
      reporter.retry(event, lastError + retryNote);
      clock.sleepFor(kRetryPause);
    }
  }
  return lastError;
}

void DeviceProgrammer::logged(Exchange& exchange, const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& failure) {
    exchange.failure = failure.what();
    if (dialogueLog) dialogueLog->exchanged(exchange);
    throw;
  }
  if (dialogueLog) dialogueLog->exchanged(exchange);
}

void DeviceProgrammer::runExchange(const std::string& event, const std::string& digits,
                                   const std::vector<Signal>& accepted,
                                   const std::string& pendingMessage,
                                   const std::string& successMessage) {
  const auto exchange = [&](std::uint64_t a, std::uint64_t attempts) {
    reporter.pending(event, pendingMessage + attemptSuffix(a, attempts));
    Exchange entry{event, pendingMessage, digits, accepted, std::nullopt, {}, a, clock.systemNow()};
    logged(entry, [&] {
      session.sendDigits(digits);
      entry.heard = session.waitSignal(kExchangeTimeoutMs);
      if (!entry.heard) throw std::runtime_error("Keine QAV-Rückmeldung erkannt.");
      const Signal answer = *entry.heard;
      settle();
      if (answer == Signal::ParameterError) throw std::runtime_error("Ungültige Eingabe laut QAV.");
      if (answer == Signal::AlternatingDisconnect)
        throw ConnectionEnded("Das QAV hat die Verbindung beendet.");
      if (!isAccepted(accepted, answer))
        throw std::runtime_error("Unerwartete Rückmeldung: " + signalName(answer));
    });
  };
  const std::optional<std::string> failure =
      attemptWithRetries(event, " Sequenz wird wiederholt.", exchange);
  if (failure)
    throw std::runtime_error("Nach " + std::to_string(settings.device.retries) +
                             " Wiederholungen fehlgeschlagen: " + *failure);
  reporter.success(event, successMessage);
}

// The QAV keeps no partial command: after a failed segment the whole
// sequence is sent again, starting with its opening code.
void DeviceProgrammer::runAction(const PlanAction& action) {
  runAction(action, [&action] { return action; });
}

void DeviceProgrammer::runAction(const PlanAction& action, const ActionSource& current) {
  reporter.pending(action.name, action.title + " konfigurieren …");
  PlanAction sent;
  const auto sequence = [&](std::uint64_t a, std::uint64_t attempts) {
    sent = current();
    const std::size_t count = sent.segments.size();
    for (std::size_t i = 0; i < count; ++i) {
      const PlanSegment& segment = sent.segments[i];
      reporter.pending(action.name,
                       segmentPrefix(i, count) + segment.label + attemptSuffix(a, attempts));
      Exchange entry{action.name, segment.label, segment.digits, {segment.expected},
                     std::nullopt, {}, a, clock.systemNow()};
      logged(entry, [&] {
        session.sendDigits(segment.digits);
        entry.heard = hearAnswer(segment.expected, segment.timeoutMs);
        judgeAnswer(segment.expected, entry.heard);
      });
    }
  };
  const std::optional<std::string> failure =
      attemptWithRetries(action.name, " Gesamte Befehlssequenz wird wiederholt.", sequence);
  if (failure)
    throw std::runtime_error(action.title + " nach " + std::to_string(settings.device.retries) +
                             " Wiederholungen fehlgeschlagen: " + *failure);
  reporter.success(action.name, action.title + " erfolgreich konfiguriert");
  if (dialogueLog) dialogueLog->programmed(sent);
}

}  // namespace qav
