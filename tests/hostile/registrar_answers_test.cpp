// qav-cli against registrars that answer REGISTER in malformed or endless
// ways: each run ends with its own error line, in time, and leaves nothing
// registered behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <regex>

#include "run_checks.h"
#include "scripted_peer.h"

namespace qav::hostile {
namespace {

using namespace std::chrono_literals;

struct Outcome {
  std::string scenario;
  ProcessRun run;
  int peerStatus = -1;
  std::vector<std::string> requests;
  std::string messages;
};

// All scenarios at once: each is its own sipp and its own qav-cli, and most
// of the time is spent waiting on the network.
std::vector<Outcome> runAgainst(const std::vector<std::string>& scenarios, int calls, std::chrono::seconds limit) {
  std::vector<std::future<Outcome>> running;
  for (const std::string& scenario : scenarios) {
    running.push_back(std::async(std::launch::async, [scenario, calls, limit] {
      ScriptedPeer registrar(scenario, calls);
      Outcome outcome;
      outcome.scenario = scenario;
      outcome.run = runCli({accountArguments(registrar.port(), "qav"), {}, limit + 30s, "", {}});
      outcome.peerStatus = registrar.wait(8s);
      outcome.requests = registrar.receivedRequests();
      outcome.messages = registrar.messages();
      return outcome;
    }));
  }
  std::vector<Outcome> outcomes;
  for (auto& outcome : running) outcomes.push_back(outcome.get());
  return outcomes;
}

std::size_t countOf(const std::vector<std::string>& requests, const std::string& method) {
  return static_cast<std::size_t>(std::count(requests.begin(), requests.end(), method));
}

// The dialog headers of a response do not matter for matching it to the
// REGISTER (Via branch and CSeq do), and over UDP the datagram ends the
// body whatever Content-Length claims: these answers register. The run
// then goes on to the call, which the registrar refuses, and qav-cli must
// still unregister.
TEST(RegistrarAnswers, LenientlyParsedAnswersRegisterAndAreUndoneAtTheEnd) {
  const auto outcomes = runAgainst({"registrar_ok_without_from.xml", "registrar_ok_without_to.xml",
                                    "registrar_ok_without_call_id.xml", "registrar_ok_without_contact.xml",
                                    "registrar_ok_content_length_too_long.xml",
                                    "registrar_ok_content_length_negative.xml"},
                                   2, 10s);
  for (const Outcome& o : outcomes) {
    SCOPED_TRACE(o.scenario);
    expectFailure(o.run, "Anruf fehlgeschlagen (SIP 403).", 10s);
    EXPECT_TRUE(hasEvent(o.run, "success", "sip"));
    EXPECT_EQ(o.peerStatus, 0) << "the refused call was not acknowledged or the account not unregistered\n"
                               << o.messages;
    EXPECT_EQ(o.requests, (std::vector<std::string>{"REGISTER", "INVITE", "ACK", "REGISTER"}));
    // The last REGISTER is the unregistration.
    const std::size_t last = o.messages.rfind("REGISTER sip:");
    ASSERT_NE(last, std::string::npos);
    EXPECT_TRUE(std::regex_search(o.messages.substr(last), std::regex("expires=0|Expires: *0", std::regex::icase)))
        << o.messages.substr(last);
  }
}

// A 401 without a challenge cannot be answered, and a registrar that
// challenges every answer anew must not keep the client busy for ever.
TEST(RegistrarAnswers, UnanswerableAndEndlessChallengesFailWithTheStatus) {
  const auto outcomes = runAgainst({"registrar_challenge_without_header.xml", "registrar_endless_challenge.xml"}, 1, 20s);
  for (const Outcome& o : outcomes) {
    SCOPED_TRACE(o.scenario);
    expectFailure(o.run, "SIP-Registrierung fehlgeschlagen (SIP 401).", 20s);
    EXPECT_FALSE(hasEvent(o.run, "success", "sip"));
    EXPECT_GE(countOf(o.requests, "REGISTER"), 2u);
    EXPECT_LE(countOf(o.requests, "REGISTER"), 20u) << "REGISTER flood";
    EXPECT_EQ(countOf(o.requests, "INVITE"), 0u);
  }
}

// Final refusals that invite another try: one more REGISTER at most, and
// the run ends with the status at once.
TEST(RegistrarAnswers, RefusalsInvitingAnotherTryEndWithTheirStatus) {
  const auto outcomes = runAgainst({"registrar_interval_too_brief.xml", "registrar_redirect_to_itself.xml",
                                    "registrar_unavailable.xml"},
                                   1, 10s);
  const std::vector<std::string> statuses{"423", "302", "503"};
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    const Outcome& o = outcomes[i];
    SCOPED_TRACE(o.scenario);
    expectFailure(o.run, "SIP-Registrierung fehlgeschlagen (SIP " + statuses[i] + ").", 10s);
    EXPECT_LE(countOf(o.requests, "REGISTER"), 2u);
  }
}

}  // namespace
}  // namespace qav::hostile
