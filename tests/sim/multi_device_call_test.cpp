#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "programming_call.h"
#include "temporary_directory.h"
#include "test_pbx.h"

// One qav-sim playing several devices at the test PBX, called by several
// qav-cli processes at once: each device answers its own call with its own
// state and its own fault.

namespace qav::sim {
namespace {

using namespace std::chrono_literals;
using qav::testing::CliRun;
using qav::testing::Command;
using qav::testing::Process;
using qav::testing::ProcessRun;
using qav::testing::Streams;

std::vector<std::string> cliArgs(std::uint16_t port, const std::string& caller, const std::string& target) {
  return {"--sip-server", "127.0.0.1", "--sip-port", std::to_string(port), "--sip-user", caller, "--sip-password",
          caller + "-secret", "--target", target, "--json", "--actions", "clock"};
}

std::size_t indexOf(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

TEST(MultiDeviceCall, DevicesTakeCallsAtOnceEachWithItsOwnStateAndFault) {
  qav::testing::TestPbx pbx;
  qav::testing::TemporaryDirectory directory;
  const std::string states = directory.path("states");
  Process simulator(Command{{qav::testing::simulatorProgram(), "--registrar", "127.0.0.1:" + std::to_string(pbx.udpPort()),
                             "--devices", "3", "--password", "{user}-secret", "--state-dir", states, "--events",
                             "--device-fault", "2:wrong-pin", "--device-fault", "3:busy", "--calls", "2"},
                            std::nullopt, "", Streams::Merged});
  for (const char* device : {"qav01 registered", "qav02 registered", "qav03 registered"})
    ASSERT_TRUE(simulator.waitFor(device, 10s)) << device;

  const std::vector<ProcessRun> runs =
      qav::testing::runTogether({qav::testing::cliCommand(cliArgs(pbx.udpPort(), "caller01", "qav01")),
                                 qav::testing::cliCommand(cliArgs(pbx.udpPort(), "caller02", "qav02")),
                                 qav::testing::cliCommand(cliArgs(pbx.udpPort(), "caller03", "qav03"))},
                                180s);
  const CliRun programmed = qav::testing::readEvents(runs[0]);
  EXPECT_EQ(programmed.status(), 0) << runs[0].err;
  EXPECT_EQ(runs[1].status, 3);
  EXPECT_NE(runs[1].lastErrorLine().find("Ungültige Eingabe"), std::string::npos) << runs[1].lastErrorLine();
  EXPECT_EQ(runs[2].status, 3);
  EXPECT_NE(runs[2].lastErrorLine().find("SIP 486"), std::string::npos) << runs[2].lastErrorLine();

  ASSERT_EQ(simulator.finish(20s), 0) << "qav-sim did not end after its two calls";
  const std::vector<std::string> lines = simulator.lines();
  // Both calls were up together: each began before the other ended.
  EXPECT_LT(indexOf(lines, "qav02 call"), indexOf(lines, "qav01 bye"));
  EXPECT_LT(indexOf(lines, "qav01 call"), indexOf(lines, "qav02 bye"));
  for (const std::string& line : lines)
    EXPECT_TRUE(std::regex_match(line, std::regex("qav0[123] .*"))) << line;

  const auto labels = qav::testing::segmentLabels(programmed);
  const nlohmann::json kept = qav::testing::readDeviceState(states + "/qav01.json");
  ASSERT_TRUE(kept.is_object());
  EXPECT_EQ(kept["clock-time"],
            qav::testing::extract(labels, std::regex("Uhrzeit auf (\\d\\d):(\\d\\d) Uhr")));
  // The refused PIN and the busy line stored nothing.
  EXPECT_TRUE(qav::testing::readDeviceState(states + "/qav02.json").is_null());
  EXPECT_TRUE(qav::testing::readDeviceState(states + "/qav03.json").is_null());
  for (const char* user : {"qav01", "qav02", "qav03"}) EXPECT_FALSE(pbx.hasLocation(user)) << user;
}

}  // namespace
}  // namespace qav::sim
