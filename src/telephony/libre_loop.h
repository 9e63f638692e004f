// The one libre event loop of the process: initialised on the caller's
// thread, run by a single worker thread, entered briefly from other threads.
#pragma once

#include <memory>
#include <thread>

namespace qav {

// libre keeps its loop state in process-wide globals, so there is at most one
// LibreLoop alive at a time. Handlers registered with libre run on the worker
// thread; any other thread must hold a LibreLock while it calls into libre.
class LibreLoop {
 public:
  // libre_init on the calling thread, libre's diagnostics silenced, and the
  // worker started. Throws std::runtime_error with libre's error text.
  LibreLoop();
  ~LibreLoop();
  LibreLoop(const LibreLoop&) = delete;
  LibreLoop& operator=(const LibreLoop&) = delete;

  // Stops re_main, joins the worker and closes libre; a second call does
  // nothing. Everything allocated from libre must be released before.
  void stop() noexcept;

 private:
  struct Heartbeat;
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
