// A supervisor that ends qav-cli with SIGTERM during a call: the call and
// the registration must still be ended, as on every other way out.
#include <gtest/gtest.h>
#include <signal.h>

#include "callee_call.h"
#include "run_checks.h"

namespace qav::hostile {
namespace {

using namespace std::chrono_literals;

// Without a watcher qav-cli died at once; the callee kept the call and the
// PBX the registration (until its 300 s expiry).
TEST(Termination, SigtermDuringTheCallEndsCallAndRegistration) {
  const testing::TestPbx pbx;
  const auto started = Clock::now();
  bool sent = false;
  const CalleeCall call = callThroughPbx(pbx, "callee_waits_for_bye.xml", 60s, [&](pid_t pid) {
    // Registration and call set-up take milliseconds on loopback; the
    // device's start signal is awaited for 10 s.
    if (!sent && Clock::now() - started > 2s) {
      kill(pid, SIGTERM);
      sent = true;
    }
  });
  EXPECT_TRUE(sent);
  EXPECT_TRUE(hasEvent(call.run, "success", "call"));
  EXPECT_FALSE(call.run.signal.has_value()) << "killed by signal " << call.run.signal.value_or(0);
  EXPECT_EQ(call.run.status, 3);
  EXPECT_EQ(call.calleeStatus, 0) << "the call was not ended with BYE\n" << call.calleeMessages;
  EXPECT_FALSE(call.registrationLeft) << pbx.locations();
}

}  // namespace
}  // namespace qav::hostile
