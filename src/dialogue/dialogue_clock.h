// Where the programming dialogue reads the time and waits: the steady clock
// for its deadlines, plain sleeps for its pauses, the system clock for the plan.
#pragma once

#include <chrono>

namespace qav {

class DialogueClock {
 public:
  virtual ~DialogueClock() = default;
  virtual std::chrono::steady_clock::time_point steadyNow() = 0;
  // The moment the command plan is built for: clock and routine time "auto"
  // are programmed from it.
  virtual std::chrono::system_clock::time_point systemNow() = 0;
  virtual void sleepFor(std::chrono::milliseconds duration) = 0;
};

// The process's own clocks and a real sleep; stateless and shared.
DialogueClock& systemDialogueClock();

}  // namespace qav
