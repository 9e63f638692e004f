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
  // Fulfilled by the worker's first timer, from inside re_main: a re_cancel
  // before that would be overwritten by re_main's start and never end it.
  struct tmr startTimer {};
  std::promise<void> started;
};

namespace {

void beat(void* arg) {
  auto* timer = static_cast<struct tmr*>(arg);
  tmr_start(timer, heartbeatMs, beat, timer);
}

}  // namespace

LibreLoop::LibreLoop() {
  const int err = libre_init();
  if (err) throw std::runtime_error(libreErrorText(err));
  dbg_init(DBG_EMERG, DBG_NONE);
  dbg_handler_set(discardDiagnostics, nullptr);
  heartbeat = std::make_unique<Heartbeat>();
  tmr_init(&heartbeat->timer);
  beat(&heartbeat->timer);
  tmr_init(&heartbeat->startTimer);
  tmr_start(&heartbeat->startTimer, 0,
            [](void* arg) { static_cast<std::promise<void>*>(arg)->set_value(); }, &heartbeat->started);
  std::future<void> started = heartbeat->started.get_future();
  running = true;
  // A null signal handler: the process's signals stay with the program.
  worker = std::thread([] { re_main(nullptr); });
  started.wait();
}

LibreLoop::~LibreLoop() { stop(); }

void LibreLoop::stop() noexcept {
  if (!running) return;
  running = false;
  {
    LibreLock lock;
    re_cancel();
  }
  if (worker.joinable()) worker.join();
  tmr_cancel(&heartbeat->timer);
  libre_close();
}

LibreLock::LibreLock() { re_thread_enter(); }

LibreLock::~LibreLock() { re_thread_leave(); }

}  // namespace qav
