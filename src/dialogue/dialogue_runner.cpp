#include <chrono>
#include <stdexcept>

#include "dialogue/connection_ended.h"
#include "dialogue/device_programmer.h"
#include "plan/plan_builder.h"

namespace qav {

namespace {

constexpr std::chrono::seconds kStartSignalDeadline{10};
constexpr std::int64_t kStartSignalPollMs = 2000;

}  // namespace

void DeviceProgrammer::run() {
  reporter.pending("sip", "Melde SIP-Account am Server an …");
  session.registerAccount(settings.sip);
  reporter.success("sip", "SIP-Account registriert");

  reporter.pending("call", "Wähle " + settings.device.target + " …");
  session.placeCall(settings.device.target);
  reporter.success("call", "SIP-Verbindung hergestellt");

  reporter.pending("qav", "Warte auf QAV-Startsignal …");
  const Signal startSignal = awaitStartSignal();
  settle();
  enterDeviceMode(startSignal);

  runExchange("auth", settings.device.pin,
              {Signal::SingleConfirmation, Signal::DoubleConfirmation},
              "Sende Authentifizierung …", "Authentifizierung akzeptiert");

  // Built only now, so that clock and routine time are those of the moment
  // the actions start, not of program start; each attempt of a timed action
  // takes the time again, as a retry may come minutes later.
  const CommandPlan plan = buildCommandPlan(settings.device, clock.systemNow());
  if (dialogueLog) dialogueLog->planned(plan);
  for (const PlanAction& action : plan)
    runAction(action, [&] { return actionAt(settings.device, action, clock.systemNow()); });

  orderlyHangup();
  reporter.success("complete", "Programmierung abgeschlossen");
}

// The QAV greets with a single confirmation (single device) or the
// multi-device prompt (shared line). The deadline is checked only between
// polls, so the wait may run up to one poll past it.
Signal DeviceProgrammer::awaitStartSignal() {
  const auto deadline = clock.steadyNow() + kStartSignalDeadline;
  while (clock.steadyNow() < deadline) {
    const std::optional<Signal> tone = session.waitSignal(kStartSignalPollMs);
    if (!tone) {
      if (!session.isConnected())
        throw ConnectionEnded("Anruf wurde vor dem QAV-Startsignal beendet.");
      continue;
    }
    if (*tone == Signal::AlternatingDisconnect)
      throw ConnectionEnded("QAV/Telefonnetz hat die Verbindung beendet.");
    if (isStartSignal(*tone)) return *tone;
    reporter.info("tone", "Nicht als QAV-Startsignal gewertet: " + signalName(*tone));
  }
  throw std::runtime_error("Kein QAV-Startsignal innerhalb des Zeitlimits erkannt.");
}

// The configured cabin must match what the QAV announced; a mismatch is
// reported before anything is dialled.
void DeviceProgrammer::enterDeviceMode(Signal startSignal) {
  if (startSignal == Signal::MultiDevicePrompt) {
    selectCabin();
    return;
  }
  if (settings.device.cabin != 0)
    throw std::runtime_error("Einzelgerätebetrieb erkannt; aktuelle Kabinennummer muss 0 sein.");
  reporter.success("qav", "QAV im Einzelgerätebetrieb erkannt");
}

// The cabin goes out as exactly one digit. A number above 9 would dial a
// second digit, and a trailing "0" tells the QAV to end the call, so it is
// refused like cabin 0.
void DeviceProgrammer::selectCabin() {
  const std::uint32_t cabin = settings.device.cabin;
  if (cabin == 0 || cabin > 9)
    throw std::runtime_error(
        "Mehrgerätebetrieb erkannt; aktuelle Kabinennummer 1 bis 9 erforderlich.");
  const std::string digit = std::to_string(cabin);
  runExchange("qav", digit, {Signal::SingleConfirmation},
              "Mehrgerätebetrieb erkannt; wähle Kabine " + digit,
              "QAV im Mehrgerätebetrieb, Kabine bestätigt");
}

}  // namespace qav
