// The 20 ms heartbeat of the call audio: a thread that runs one tick per
// packet time on the steady clock, whatever the network delivers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace qav {

class MediaClock {
 public:
  explicit MediaClock(std::chrono::milliseconds period);
  ~MediaClock();
  MediaClock(const MediaClock&) = delete;
  MediaClock& operator=(const MediaClock&) = delete;

  // Runs tick on the clock's own thread every period until stop.
  void start(std::function<void()> tick);
  // Waits for a running tick to finish; never call it from inside a tick.
  void stop() noexcept;

 private:
  void run(std::function<void()> tick);

  const std::chrono::milliseconds period;
  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  std::thread thread;
};

}  // namespace qav
