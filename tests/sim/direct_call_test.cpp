#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "process.h"
#include "test_pbx.h"

#ifndef QAV_SIM
#error "QAV_SIM must name the simulator program"
#endif
#ifndef QAV_SIM_SIPP_DIR
#error "QAV_SIM_SIPP_DIR must name the directory of the caller scenarios"
#endif

// The simulator taking calls on its own port, from a scripted caller that
// checks its answers as a SIP user agent.

namespace qav::sim {
namespace {

using namespace std::chrono_literals;
using qav::testing::Process;
using qav::testing::Streams;

// sipp's exit status for one caller scenario against the given port.
std::optional<int> callWith(const std::string& scenario, const std::string& port) {
  return qav::testing::runToEnd({{"/usr/bin/sipp", "-sf", std::string(QAV_SIM_SIPP_DIR) + "/" + scenario,
                                  "127.0.0.1:" + port, "-i", "127.0.0.1", "-p",
                                  std::to_string(qav::testing::freeLoopbackPort()), "-m", "1", "-nostdin", "-timeout",
                                  "30s", "-timeout_error"}},
                                60s)
      .status;
}

TEST(DirectCall, RefusesAnOfferWithoutG711AndAnswersRequestsInsideTheCall) {
  Process simulator({{QAV_SIM, "--listen", "127.0.0.1:0", "--calls", "1", "--ring-ms", "100", "--events"},
                     std::nullopt, "", Streams::Merged});
  const std::optional<std::string> listening = simulator.waitFor("listening 127.0.0.1:", 5s);
  ASSERT_TRUE(listening);
  const std::string port = listening->substr(std::string("listening 127.0.0.1:").size());

  EXPECT_EQ(callWith("caller_without_g711.xml", port), 0);
  EXPECT_EQ(callWith("caller_in_dialog_requests.xml", port), 0);

  // The refused call did not count: the simulator ends after the second.
  ASSERT_EQ(simulator.finish(10s), 0);
  const std::vector<std::string> lines = simulator.lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "call"), 1);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) { return line.rfind("digit ", 0) == 0; }),
            1)
      << "only the well-formed INFO is a key";
  EXPECT_NE(std::find(lines.begin(), lines.end(), "digit 5 sip-info 250"), lines.end());
  EXPECT_EQ(lines.back(), "bye");
}

}  // namespace
}  // namespace qav::sim
