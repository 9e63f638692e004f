#include "dialogue/device_programmer.h"

#include <chrono>

namespace qav {

DeviceProgrammer::DeviceProgrammer(TelephonySession& session, const Settings& settings,
                                   Reporter& reporter)
    : DeviceProgrammer(session, settings, reporter, systemDialogueClock()) {}

DeviceProgrammer::DeviceProgrammer(TelephonySession& session, const Settings& settings,
                                   Reporter& reporter, DialogueClock& clock)
    : session(session), settings(settings), reporter(reporter), clock(clock) {}

// The QAV needs a moment after its answer tone before it takes the next
// digits.
void DeviceProgrammer::settle() {
  if (settings.device.settleMs != 0)
    clock.sleepFor(std::chrono::milliseconds(settings.device.settleMs));
}

}  // namespace qav
