// The one libre event loop of the process: initialised and run by a single
// worker thread, entered briefly from other threads.
#pragma once

#include <memory>
#include <thread>

namespace qav {

// libre keeps its loop state in process-wide globals, so there is at most one
// LibreLoop alive at a time. Handlers registered with libre run on the worker
// thread; any other thread must hold a LibreLock while it calls into libre.
class LibreLoop {
 public:
  // The worker started: libre_init there, libre's diagnostics silenced, and
  // re_main. Throws std::runtime_error with libre's error text.
  LibreLoop();
  ~LibreLoop();
  LibreLoop(const LibreLoop&) = delete;
  LibreLoop& operator=(const LibreLoop&) = delete;

  // Stops re_main, and the worker closes libre and ends; a second call does
  // nothing. Everything allocated from libre must be released before.
  void stop() noexcept;

 private:
  struct Heartbeat;
  void run();

  std::unique_ptr<Heartbeat> heartbeat;
  std::thread worker;
  bool running = false;
};

// re_thread_enter for the lifetime of the object. Never hold one of the
// session's own mutexes while taking it: libre handlers take those mutexes
// while the worker holds libre's lock.
class LibreLock {
 public:
  LibreLock();
  ~LibreLock();
  LibreLock(const LibreLock&) = delete;
  LibreLock& operator=(const LibreLock&) = delete;
};

}  // namespace qav
