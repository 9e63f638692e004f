#include "app/programming_call.h"

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "app/signal_watch.h"
#include "dialogue/device_programmer.h"
#include "telephony/telephony_session.h"

namespace qav {
namespace {

// What the dialogue says after an interrupted session (a call that ended,
// a registration that failed) is not why the run ended.
[[noreturn]] void failInterrupted(int signal) {
  throw std::runtime_error(std::string("Abbruch durch ") + signalLabel(signal) +
                           "; Verbindung und Registrierung wurden beendet.");
}

// The session as the signal watcher may reach it: only while it exists.
class InterruptTarget {
 public:
  void set(TelephonySession* session) {
    std::lock_guard lock(mutex);
    target = session;
  }
  void interrupt() {
    std::lock_guard lock(mutex);
    if (target) target->interrupt();
  }

 private:
  std::mutex mutex;
  TelephonySession* target = nullptr;
};

}  // namespace

void runProgrammingCall(const Settings& settings, Reporter& reporter) {
  InterruptTarget target;
  const SignalWatch watch([&target] { target.interrupt(); });
  std::unique_ptr<TelephonySession> session = createTelephonySession();
  target.set(session.get());
  // A signal that came before the session existed still ends the run.
  if (watch.caught()) session->interrupt();
  const auto endSession = [&] {
    // No call or registration may outlive the error line.
    session->hangup();
    session->shutdown();
    target.set(nullptr);
    session.reset();
  };
  try {
    DeviceProgrammer programmer(*session, settings, reporter);
    programmer.run();
  } catch (...) {
    endSession();
    if (watch.caught()) failInterrupted(watch.caught());
    throw;
  }
  endSession();
  if (watch.caught()) failInterrupted(watch.caught());
}

}  // namespace qav
