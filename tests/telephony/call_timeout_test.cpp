#include <gtest/gtest.h>

#include <chrono>

#include "session_settings.h"
#include "sipp_peer.h"
#include "telephony/telephony_session.h"
#include "test_pbx.h"

namespace qav {
namespace {

using namespace std::chrono;

TEST(CallTimeoutTest, UnansweredCallTimesOutAfterSixtySecondsAndIsCancelled) {
  testing::TestPbx pbx;
  testing::SippPeer callee("callee_no_answer.xml");
  auto session = createTelephonySession();
  session->registerAccount(testing::pbxAccount(pbx.udpPort()));
  const auto start = steady_clock::now();
  EXPECT_EQ(testing::failureOf([&] { session->placeCall(callee.uri("ringing")); }),
            "Zeitüberschreitung beim Anrufaufbau.");
  const auto waited = steady_clock::now() - start;
  EXPECT_GE(waited, milliseconds(59900));
  EXPECT_LT(waited, seconds(63));
  // The callee completes its scenario only if the call is cancelled.
  session->hangup();
  EXPECT_EQ(callee.wait(seconds(5)), 0);
  session->shutdown();
}

}  // namespace
}  // namespace qav
