#include "dialogue/dialogue_clock.h"

#include <thread>

namespace qav {

namespace {

class SystemDialogueClock : public DialogueClock {
 public:
  std::chrono::steady_clock::time_point steadyNow() override {
    return std::chrono::steady_clock::now();
  }
  std::chrono::system_clock::time_point systemNow() override {
    return std::chrono::system_clock::now();
  }
  void sleepFor(std::chrono::milliseconds duration) override {
    std::this_thread::sleep_for(duration);
  }
};

}  // namespace

DialogueClock& systemDialogueClock() {
  static SystemDialogueClock clock;
  return clock;
}

}  // namespace qav
