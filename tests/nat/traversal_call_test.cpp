// qav-cli behind a home NAT with a STUN server: the offer and the Contact
// carry the NAT's public mapping, and the device is programmed.
#include "nat_call_fixture.h"

namespace qav::nat {
namespace {

TEST_F(NatCallTest, StunAloneOffersThePublicMappingAndSuffices) {
  seedState(kEarlierClock);
  ASSERT_NO_FATAL_FAILURE(startSimulator());
  const NatCall run = call({"--sip-stun-server", stunServer()});
  expectProgrammed(run);

  const std::string invite = inviteFromLan();
  ASSERT_FALSE(invite.empty()) << "no INVITE crossed the NAT";
  EXPECT_EQ(sdpConnectionAddress(invite), net().publicAddress()) << invite;
  EXPECT_TRUE(sdpCandidates(invite).empty()) << invite;
  // So that the device's requests inside the dialog reach qav-cli too.
  EXPECT_NE(invite.find("\nContact: <sip:tester@" + net().publicAddress() + ":"), std::string::npos) << invite;
  if (run.setupTime) RecordProperty("setup_ms", static_cast<int>(run.setupTime->count()));
}

}  // namespace
}  // namespace qav::nat
