#include "app/programming_call.h"

#include <exception>
#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "app/call_report.h"
#include "app/signal_watch.h"
#include "dialogue/device_programmer.h"
#include "recording/call_recorder.h"
#include "telephony/telephony_session.h"

namespace qav {
namespace {

// What the dialogue says after an interrupted session (a call that ended,
// a registration that failed) is not why the run ended.
std::exception_ptr interruption(int signal) {
  return std::make_exception_ptr(std::runtime_error(std::string("Abbruch durch ") +
                                                    signalLabel(signal) +
                                                    "; Verbindung und Registrierung wurden beendet."));
}

std::string messageOf(const std::exception_ptr& failure) {
  if (!failure) return "";
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
  }
  return "unbekannter interner Fehler";
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

// Opened before anything else, so that a path that cannot take the report
// ends the run before the registration.
std::unique_ptr<CallReport> startReport(const Settings& settings) {
  if (settings.reportPath.empty()) return nullptr;
  return std::make_unique<CallReport>(settings);
}

// A report that cannot be written does not change how the programming went.
void finishReport(CallReport* report, const std::string& path, const std::string& error,
                  int signal) {
  if (!report) return;
  const std::string reason = report->finish(error, signal);
  if (reason.empty()) return;
  std::cout.flush();
  std::cerr << "Warnung: Berichtsdatei " << escapeControlBytes(path)
            << " konnte nicht geschrieben werden: " << reason << '\n';
}

}  // namespace

void runProgrammingCall(const Settings& settings, Reporter& reporter) {
  const std::unique_ptr<CallReport> report = startReport(settings);
  InterruptTarget target;
  const SignalWatch watch([&target] { target.interrupt(); });
  // Declared before the session, which borrows it, so that it outlives it.
  std::unique_ptr<CallRecorder> recorder;
  std::unique_ptr<TelephonySession> session;
  std::exception_ptr failure;
  try {
    recorder = startRecording(settings.recordAudioPath);
    session = createTelephonySession(recorder.get());
    target.set(session.get());
    // A signal that came before the session existed still ends the run.
    if (watch.caught()) session->interrupt();
    DeviceProgrammer programmer(*session, settings, reporter);
    if (report) programmer.keepLog(*report);
    programmer.run();
  } catch (...) {
    failure = std::current_exception();
  }
  // No call or registration may outlive the error line.
  if (session) {
    session->hangup();
    session->shutdown();
    target.set(nullptr);
    session.reset();
  }
  finishRecording(recorder.get(), settings.recordAudioPath);
  if (watch.caught()) failure = interruption(watch.caught());
  finishReport(report.get(), settings.reportPath, messageOf(failure), watch.caught());
  if (failure) std::rethrow_exception(failure);
}

}  // namespace qav
