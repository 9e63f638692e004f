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

// The Z208 ID is an entry of one to eight digits ended by a pause, so a
// device that misses one in-band digit of "00000042" takes the other seven
// as a valid ID and stores "0000042". Its receiver bridges one lost packet
// (20 ms) inside a key. Two lost in a row play as 40 ms of silence, as long
// as the shortest pause that must still part two equal keys, so the key
// ends there; with the 80 ms tones used here the 20 ms left on either side
// are too short to be heard, and the digit is gone: about one entry in 40
// at 5 % loss. Disabled until the receiving jitter buffer conceals two lost
// frames with a continuous tone rather than silence.
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
