// qav-cli behind a home NAT without STUN or ICE: signalling gets through,
// because the PBX answers to where requests came from, but the SDP offers
// the private address, so the device's audio has nowhere to go.
#include <algorithm>

#include "nat_call_fixture.h"

namespace qav::nat {
namespace {

TEST_F(NatCallTest, WithoutTraversalTheOfferCarriesThePrivateAddressAndNoStartSignalArrives) {
  seedState(kEarlierClock);
  ASSERT_NO_FATAL_FAILURE(startSimulator());
  const NatCall run = call({});

  EXPECT_EQ(run.status(), 3);
  EXPECT_EQ(run.process.err, "Fehler: Kein QAV-Startsignal innerhalb des Zeitlimits erkannt.\n");
  const std::vector<Event> reached{
      {"pending", "sip", "Melde SIP-Account am Server an …"},
      {"success", "sip", "SIP-Account registriert"},
      {"pending", "call", "Wähle qav …"},
      {"success", "call", "SIP-Verbindung hergestellt"},
      {"pending", "qav", "Warte auf QAV-Startsignal …"}};
  EXPECT_EQ(run.events, reached);

  const std::string invite = inviteFromLan();
  ASSERT_FALSE(invite.empty()) << "no INVITE crossed the NAT";
  EXPECT_EQ(sdpConnectionAddress(invite), net().lanAddress());
  EXPECT_TRUE(sdpCandidates(invite).empty());
  // Requests of the far end inside the dialog would go there as well.
  EXPECT_NE(invite.find("\nContact: <sip:tester@" + net().lanAddress() + ":"), std::string::npos) << invite;

  // qav-cli's audio reaches the device; the device's start tone, sent to the
  // private address, never leaves the wan.
  EXPECT_GT(mediaToSimulator(), 0u);
  EXPECT_EQ(mediaFromSimulator(), 0u);

  const std::vector<std::string> lines = simulatorLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "answer single-confirmation"), lines.end())
      << "the device did not play its start signal";
  EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("digit ", 0) == 0; }))
      << "the device heard digits";
  EXPECT_EQ(readState(), kEarlierClock);
  EXPECT_FALSE(pbx->hasLocation("tester")) << "qav-cli left its registration behind";
}

}  // namespace
}  // namespace qav::nat
