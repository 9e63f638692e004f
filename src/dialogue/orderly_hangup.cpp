#include "dialogue/device_programmer.h"

namespace qav {

namespace {

// Eight waits of one second, not a deadline: ignored tones end a pass early.
constexpr int kHangupPasses = 8;
constexpr std::int64_t kHangupPassMs = 1000;
const std::string kEvent = "hangup";
const std::string kQavHungUp = "QAV hat die Verbindung beendet";

}  // namespace

// A "0" outside a command tells the QAV that programming is over; it answers
// with the alternating disconnect sequence and hangs up. An ended call is
// the expected outcome here, never an error; if the QAV stays on the line,
// the caller's local hang-up ends the call.
void DeviceProgrammer::orderlyHangup() {
  if (!session.isConnected()) {
    reporter.success(kEvent, "QAV hat die Verbindung bereits beendet");
    return;
  }
  reporter.pending(kEvent, "Sende 0 und warte darauf, dass das QAV auflegt …");
  if (!sendClosingDigit()) {
    reporter.success(kEvent, kQavHungUp);
    return;
  }
  for (int pass = 0; pass < kHangupPasses; ++pass) {
    const std::optional<Signal> tone = session.waitSignal(kHangupPassMs);
    if (!session.isConnected() || tone == Signal::AlternatingDisconnect) {
      reporter.success(kEvent, kQavHungUp);
      return;
    }
  }
  reporter.info(kEvent,
                "QAV hat nicht innerhalb von 8 Sekunden aufgelegt; SIP-Verbindung wird lokal beendet");
}

// False when sending failed because the call had just ended; a failure on a
// live call is passed on.
bool DeviceProgrammer::sendClosingDigit() {
  try {
    session.sendDigits("0");
    return true;
  } catch (...) {
    if (session.isConnected()) throw;
    return false;
  }
}

}  // namespace qav
