// qav-cli and the device with ICE across a home NAT, with and without a
// STUN server: the candidates offered, and whether the device is programmed.
#include "nat_call_fixture.h"

namespace qav::nat {
namespace {

TEST_F(NatCallTest, StunAndIceOnBothSidesProgramTheDeviceThroughTheNat) {
  seedState(kEarlierClock);
  ASSERT_NO_FATAL_FAILURE(startSimulator({"--stun-server", stunServer(), "--ice"}));
  const NatCall run = call({"--sip-stun-server", stunServer(), "--ice"});
  expectProgrammed(run);

  const std::string invite = inviteFromLan();
  ASSERT_FALSE(invite.empty()) << "no INVITE crossed the NAT";
  EXPECT_EQ(sdpConnectionAddress(invite), net().publicAddress()) << invite;
  EXPECT_TRUE(hasCandidate(invite, net().publicAddress(), "srflx")) << invite;
  EXPECT_TRUE(hasCandidate(invite, net().lanAddress(), "host")) << invite;
  if (run.setupTime) RecordProperty("setup_ms", static_cast<int>(run.setupTime->count()));
}

// Without STUN the offer has the private host candidate only. qav-cli's
// checks still cross the NAT and the device answers them at the public
// mapping, a peer-reflexive candidate for the device.
TEST_F(NatCallTest, IceWithoutStunOffersOnlyThePrivateAddressAndItsChecksCrossTheNat) {
  seedState(kEarlierClock);
  ASSERT_NO_FATAL_FAILURE(startSimulator({"--ice"}));
  const NatCall run = call({"--ice"});

  const std::string invite = inviteFromLan();
  ASSERT_FALSE(invite.empty()) << "no INVITE crossed the NAT";
  EXPECT_EQ(sdpConnectionAddress(invite), net().lanAddress()) << invite;
  EXPECT_TRUE(hasCandidate(invite, net().lanAddress(), "host")) << invite;
  EXPECT_FALSE(hasCandidate(invite, net().publicAddress(), "srflx")) << invite;

  const std::uint16_t devicePort = sdpAudioPort(answerFromSimulator());
  std::size_t requests = 0, answers = 0;
  for (const auto& datagram : capture->datagrams()) {
    if (datagram.stunType == 0x0001 && datagram.destinationPort == devicePort) ++requests;
    if (datagram.stunType == 0x0101 && datagram.sourcePort == devicePort) ++answers;
  }
  EXPECT_GT(requests, 0u);
  EXPECT_GT(answers, 0u) << "the device did not answer qav-cli's checks";
  EXPECT_TRUE(run.status().has_value());
}

// A far end that knows no ICE answers without candidates; media then goes
// to the offer's default address, the server-reflexive one.
TEST_F(NatCallTest, IceAgainstAFarEndWithoutIceFallsBackToTheDefaultCandidate) {
  seedState(kEarlierClock);
  ASSERT_NO_FATAL_FAILURE(startSimulator());
  const NatCall run = call({"--sip-stun-server", stunServer(), "--ice"});
  expectProgrammed(run);
  const std::string invite = inviteFromLan();
  ASSERT_FALSE(invite.empty()) << "no INVITE crossed the NAT";
  EXPECT_EQ(sdpConnectionAddress(invite), net().publicAddress()) << invite;
  EXPECT_TRUE(hasCandidate(invite, net().publicAddress(), "srflx")) << invite;
}

}  // namespace
}  // namespace qav::nat
