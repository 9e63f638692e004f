#include "telephony/libre_loop.h"

#include <re.h>
// re_dbg.h wants to know which module is logging; nothing here logs.
#define DEBUG_MODULE "qav"
#define DEBUG_LEVEL 0
#include <re_dbg.h>

#include <future>
#include <stdexcept>

#include "telephony/libre_error.h"

namespace qav {
namespace {

// Standard output belongs to the progress events and standard error to the
// program's own error lines; libre must print to neither.
void discardDiagnostics(int, const char*, size_t, void*) {}

// The worker sleeps in poll() with the timeout of the earliest timer it knew
// of when it went to sleep. Timers that other threads start while it sleeps,
// and re_cancel, only take effect when it wakes up; a short periodic timer
// bounds that delay.
constexpr std::uint64_t heartbeatMs = 10;

void beat(void* arg);

}  // namespace

struct LibreLoop::Heartbeat {
  struct tmr timer {};
  // Fulfilled by the worker's first timer, from inside re_main, with 0, or
  // with libre_init's error: a re_cancel before re_main has started would be
  // overwritten by its start and never end it.
  struct tmr startTimer {};
  std::promise<int> started;
  // re_cancel runs on the worker, as a timer: since libre 3.2 a thread that
  // holds the loop's lock when polling stops never gets to release it, and
  // re_main's end waits for that lock.
  struct tmr stopTimer {};
};

namespace {

void beat(void* arg) {
  auto* timer = static_cast<struct tmr*>(arg);
  tmr_start(timer, heartbeatMs, beat, timer);
}

}  // namespace

LibreLoop::LibreLoop() : heartbeat(std::make_unique<Heartbeat>()) {
  std::future<int> started = heartbeat->started.get_future();
  worker = std::thread([this] { run(); });
  const int err = started.get();
  if (err) {
    worker.join();
    throw std::runtime_error(libreErrorText(err));
  }
  running = true;
}

// libre_init on this thread: libre takes the thread that initialised it for
// its own, and from 2.5 on its debug builds refuse sockets opened from any
// other thread outside re_thread_enter, as the handlers here do.
void LibreLoop::run() {
  const int err = libre_init();
  if (err) {
    heartbeat->started.set_value(err);
    return;
  }
  dbg_init(DBG_EMERG, DBG_NONE);
  dbg_handler_set(discardDiagnostics, nullptr);
  tmr_init(&heartbeat->timer);
  beat(&heartbeat->timer);
  tmr_init(&heartbeat->stopTimer);
  tmr_init(&heartbeat->startTimer);
  tmr_start(&heartbeat->startTimer, 0,
            [](void* arg) { static_cast<std::promise<int>*>(arg)->set_value(0); }, &heartbeat->started);
  // A null signal handler: the process's signals stay with the program.
  re_main(nullptr);
  tmr_cancel(&heartbeat->timer);
  tmr_cancel(&heartbeat->stopTimer);
  libre_close();
}

LibreLoop::~LibreLoop() { stop(); }

void LibreLoop::stop() noexcept {
  if (!running) return;
  running = false;
  {
    LibreLock lock;
    tmr_start(&heartbeat->stopTimer, 0, [](void*) { re_cancel(); }, nullptr);
  }
  if (worker.joinable()) worker.join();
}

LibreLock::LibreLock() { re_thread_enter(); }

LibreLock::~LibreLock() { re_thread_leave(); }

}  // namespace qav
