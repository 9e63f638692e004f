// Answers to REGISTER that cannot belong to its transaction are ignored:
// qav-cli waits out the registration limit of 20 s and says so.
#include <gtest/gtest.h>

#include <future>

#include "run_checks.h"
#include "scripted_peer.h"

namespace qav::hostile {
namespace {

using namespace std::chrono_literals;

// A registrar that only ever says 100 Trying gives no final answer either.
TEST(RegistrarTimeout, AnswersWithoutViaOrCSeqOrOnlyProvisionalOnesWaitOutTheLimit) {
  std::vector<std::future<std::pair<std::string, ProcessRun>>> running;
  for (const std::string scenario : {"registrar_ok_without_via.xml", "registrar_ok_without_cseq.xml", "registrar_trying_for_ever.xml"}) {
    running.push_back(std::async(std::launch::async, [scenario] {
      ScriptedPeer registrar(scenario);
      return std::make_pair(scenario, runCli({accountArguments(registrar.port(), "qav"), {}, 60s, "", {}}));
    }));
  }
  for (auto& future : running) {
    const auto [scenario, run] = future.get();
    SCOPED_TRACE(scenario);
    expectFailure(run, "Zeitüberschreitung bei der SIP-Registrierung.", 20s + 8s);
    EXPECT_GE(run.took(), 19s);
    EXPECT_FALSE(hasEvent(run, "success", "sip"));
  }
}

}  // namespace
}  // namespace qav::hostile
