#include "app/programming_call.h"

#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "app/signal_watch.h"
#include "dialogue/device_programmer.h"
#include "recording/call_recorder.h"
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

// Opened before anything goes out, so that a path that cannot take the
// recording ends the run before the registration.
std::unique_ptr<CallRecorder> startRecording(const std::string& path) {
  if (path.empty()) return nullptr;
  return std::make_unique<CallRecorder>(path);
}

// Audio that missed the file does not change how the programming went; the
// technician is told on standard error what the recording lacks.
void finishRecording(CallRecorder* recorder, const std::string& path) {
  if (!recorder) return;
  recorder->close();
  const RecordingOutcome outcome = recorder->outcome();
  if (outcome.framesLost == 0) return;
  std::cout.flush();
  std::cerr << "Warnung: Aufnahmedatei " << escapeControlBytes(path) << " ist unvollständig, " << outcome.framesLost * callFrameMs
            << " ms Audio fehlen" << (outcome.writeError.empty() ? "" : ": " + outcome.writeError) << '\n';
}

}  // namespace

void runProgrammingCall(const Settings& settings, Reporter& reporter) {
  InterruptTarget target;
  const SignalWatch watch([&target] { target.interrupt(); });
  // Declared before the session, which borrows it, so that it outlives it.
  std::unique_ptr<CallRecorder> recorder = startRecording(settings.recordAudioPath);
  std::unique_ptr<TelephonySession> session = createTelephonySession(recorder.get());
  target.set(session.get());
  // A signal that came before the session existed still ends the run.
  if (watch.caught()) session->interrupt();
  const auto endSession = [&] {
    // No call or registration may outlive the error line.
    session->hangup();
    session->shutdown();
    target.set(nullptr);
    session.reset();
    finishRecording(recorder.get(), settings.recordAudioPath);
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
