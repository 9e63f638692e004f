// The libre event loop: it stops although other threads used its lock just
// before, and both its worker and a thread inside a LibreLock open sockets,
// also with a debug build of libre 2.5 or later, which checks who does.
#include <gtest/gtest.h>
#include <re.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>

#include "telephony/libre_loop.h"

namespace qav {
namespace {

using namespace std::chrono_literals;

// A stop that hangs cannot be cleaned up after: the process ends instead.
void stopWithin(LibreLoop& loop, std::chrono::seconds limit) {
  std::future<void> stopped = std::async(std::launch::async, [&loop] { loop.stop(); });
  if (stopped.wait_for(limit) == std::future_status::timeout) {
    std::fprintf(stderr, "LibreLoop::stop has not returned after %lld s\n", static_cast<long long>(limit.count()));
    std::_Exit(1);
  }
}

int openUdpSocket(struct udp_sock** sock) {
  struct sa local {};
  sa_set_str(&local, "127.0.0.1", 0);
  return udp_listen(sock, &local, [](const struct sa*, struct mbuf*, void*) {}, nullptr);
}

TEST(LibreLoop, StopsRightAfterOtherThreadsHeldItsLock) {
  for (int round = 0; round < 3; ++round) {
    LibreLoop loop;
    for (int i = 0; i < 10; ++i) {
      LibreLock lock;
      EXPECT_GT(tmr_jiffies(), 0u);
    }
    stopWithin(loop, 5s);
  }
}

TEST(LibreLoop, ItsWorkerAndALockedThreadOpenSockets) {
  LibreLoop loop;
  struct Opening {
    struct tmr timer {};
    struct udp_sock* sock = nullptr;
    std::promise<int> result;
  } onWorker;
  struct udp_sock* onCaller = nullptr;
  {
    LibreLock lock;
    EXPECT_EQ(openUdpSocket(&onCaller), 0);
    tmr_init(&onWorker.timer);
    tmr_start(&onWorker.timer, 0, [](void* arg) {
      auto* opening = static_cast<Opening*>(arg);
      opening->result.set_value(openUdpSocket(&opening->sock));
    }, &onWorker);
  }
  std::future<int> opened = onWorker.result.get_future();
  ASSERT_EQ(opened.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(opened.get(), 0);
  {
    LibreLock lock;
    mem_deref(onWorker.sock);
    mem_deref(onCaller);
  }
  stopWithin(loop, 5s);
}

}  // namespace
}  // namespace qav
