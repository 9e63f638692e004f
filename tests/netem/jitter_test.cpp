#include "bad_network_call.h"

// Programming calls while every packet between the namespaces, SIP and RTP,
// arrives late by a varying amount, and out of order.

namespace qav::netem {
namespace {

using namespace std::chrono_literals;

TEST_F(BadNetworkCallTest, JitterAndReorderingEndAsSpecifiedAndLeaveNoForeignValue) {
  struct Case {
    const char* what;
    int delayMs;
    int jitterMs;
    int reorderPercent;
    int holdMs;
  };
  const Case cases[] = {
      // 10 to 70 ms: packets 20 ms apart overtake each other all the time.
      {"30 ms jitter", 40, 30, 0, 0},
      // A quarter of the packets arrive one or two packets late.
      {"reordering", 10, 0, 25, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    delayAll(c.delayMs, c.jitterMs, c.reorderPercent, c.holdMs);
    seedEarlierValues();
    startSimulator();
    const CliOutcome outcome = call(jobArguments());
    describe(c.what, outcome);
    EXPECT_GT(shapedPackets(), 100u) << "the packets went around the delay";
    expectSpecifiedEnding(outcome);
    EXPECT_EQ(simulator->finish(20s), 0) << "qav-sim did not end after its call";
    expectRequestedOrEarlierValues(outcome);
  }
}

}  // namespace
}  // namespace qav::netem
