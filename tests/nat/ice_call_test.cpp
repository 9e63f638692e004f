// qav-cli and the device with ICE across a home NAT, with and without a
// STUN server: the candidates offered, and whether the device is programmed.
#include "nat_call_fixture.h"

namespace qav::nat {
namespace {

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
