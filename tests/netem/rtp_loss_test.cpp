#include "bad_network_call.h"

// Programming calls while RTP is lost in both directions: however a call
// ends, it ends as specified, and the device holds what was asked for or
// what it held before.

namespace qav::netem {
namespace {

using namespace std::chrono_literals;

// Telephone events survive loss through their repeated packets; what loss
// breaks is the device's answer tones, so calls fail, but only as specified.
// Even at 1 % a call can fail: see the start-tone test below.
TEST_F(BadNetworkCallTest, RtpLossEndsAsSpecifiedAndLeavesNoForeignValue) {
  for (const double percent : {1.0, 5.0, 10.0}) {
    SCOPED_TRACE(std::to_string(percent) + " % loss");
    callUnderLoss(percent, {"--dtmf-method", "rfc4733"});
  }
}

// A lost frame inside an in-band digit makes the device's receiver release
// the key and either hear it twice or not at all. The Z208 ID is an entry of
// one to eight digits ended by a pause, so the device takes the seven digits
// it heard of "00000042" as a valid ID and stores "0000042". The receiving
// jitter buffers now repeat a single lost frame, which keeps the key; two
// lost in a row still cut it, so at 5 % loss this fails now and then.
// Disabled until the device's in-band receiver bridges such a dropout.
TEST_F(BadNetworkCallTest, DISABLED_InbandDigitsUnderRtpLossNeverStoreAForeignValue) {
  for (int call = 0; call < 4; ++call) {
    SCOPED_TRACE("call " + std::to_string(call + 1));
    callUnderLoss(5, {"--dtmf-method", "inband"});
  }
}

// A lost packet inside the device's 150 ms confirmation tone must not split
// it: played as 20 ms of silence it would end the high-tone burst, the
// analyzer would read a double confirmation, and the device's greeting would
// not count as its start signal. The receiving side repeats the frame before.
TEST_F(BadNetworkCallTest, OneLostPacketInsideTheStartToneDoesNotHideIt) {
  // The device greets 500 ms after it answered, so RTP packets 26 to 32 carry
  // its tone; the 29th lies in the middle of it.
  shape(net().lanNamespace(), {"drop", "to-cli", "29"});
  seedEarlierValues();
  startSimulator();
  const CliOutcome outcome = call(jobArguments());
  describe("one lost packet in the start tone", outcome);
  EXPECT_EQ(shapedPackets(), 1u);
  ASSERT_EQ(outcome.process.status, 0) << outcome.process.err;
  expectRequestedOrEarlierValues(outcome);
}

}  // namespace
}  // namespace qav::netem
