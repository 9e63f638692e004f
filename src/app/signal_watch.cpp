#include "app/signal_watch.h"

#include <pthread.h>

#include <ctime>

namespace qav {
namespace {

constexpr long kPollNanoseconds = 100'000'000;

}  // namespace

SignalWatch::SignalWatch(std::function<void()> handler) : onSignal(std::move(handler)) {
  sigemptyset(&watched);
  sigaddset(&watched, SIGINT);
  sigaddset(&watched, SIGTERM);
  sigaddset(&watched, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &watched, &previous);
  watcher = std::thread([this] { watch(); });
}

SignalWatch::~SignalWatch() {
  stopping = true;
  watcher.join();
  // A signal that came after the run ended is delivered now, as usual.
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void SignalWatch::watch() {
  const struct timespec poll {0, kPollNanoseconds};
  while (!stopping) {
    const int got = sigtimedwait(&watched, nullptr, &poll);
    if (got <= 0) continue;
    if (signal.exchange(got) != 0) {
      // Asked twice: the technician does not want to wait for the hang-up.
      ::signal(got, SIG_DFL);
      pthread_sigmask(SIG_UNBLOCK, &watched, nullptr);
      raise(got);
    }
    onSignal();
  }
}

const char* signalLabel(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
  }
  return "?";
}

}  // namespace qav
