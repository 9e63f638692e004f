// Twenty programming calls at once through one test PBX: twenty simulated
// devices, each programmed by a qav-cli of its own with values of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "programming_call.h"
#include "test_pbx.h"

namespace qav::load {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using qav::testing::CliRun;
using qav::testing::Command;
using qav::testing::Process;
using qav::testing::ProcessRun;

constexpr int kCalls = 20;

std::string twoDigits(int number) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", number);
  return text;
}

std::string device(int number) { return "qav" + twoDigits(number); }
std::string caller(int number) { return "caller" + twoDigits(number); }
// Values that differ between every pair of calls, so that a device holding
// another caller's digits cannot pass for holding its own.
std::string routineAt(int number) { return "06:" + twoDigits(number); }
std::string serviceNumber(int number) { return "08001000" + twoDigits(number); }

class LoadCallsTest : public ::testing::Test {
 protected:
  std::string statePath(int number) const { return directory.path() + "/" + device(number) + ".json"; }

  void startDevices() {
    for (int number = 1; number <= kCalls; ++number) {
      devices.push_back(std::make_unique<Process>(qav::testing::simulatorCommand(
          "127.0.0.1:" + std::to_string(pbx.udpPort()), statePath(number), device(number))));
    }
    for (int number = 1; number <= kCalls; ++number)
      ASSERT_TRUE(devices[number - 1]->waitFor("registered", 20s)) << device(number) << " did not register";
  }

  Command callerCommand(int number) const {
    return {{qav::testing::cliProgram(), "--sip-server", "127.0.0.1", "--sip-port", std::to_string(pbx.udpPort()),
             "--sip-user", caller(number), "--sip-password", caller(number) + "-secret", "--target", device(number),
             "--json", "--actions", "routine,service", "--routine-at", routineAt(number), "--service-number",
             serviceNumber(number)}};
  }

  qav::testing::TestPbx pbx;
  qav::testing::TemporaryDirectory directory;
  std::vector<std::unique_ptr<Process>> devices;
};

TEST_F(LoadCallsTest, TwentyCallsAtOnceEachProgramOnlyTheirOwnDevice) {
  ASSERT_NO_FATAL_FAILURE(startDevices());
  std::vector<Command> callers;
  for (int number = 1; number <= kCalls; ++number) callers.push_back(callerCommand(number));
  const std::vector<ProcessRun> runs = qav::testing::runTogether(callers, 300s);

  const qav::testing::CliEvent completed{"success", "complete", "Programmierung abgeschlossen"};
  for (int number = 1; number <= kCalls; ++number) {
    SCOPED_TRACE(caller(number) + " calling " + device(number));
    const CliRun run = qav::testing::readEvents(runs[number - 1]);
    EXPECT_EQ(run.status(), 0) << run.process.err;
    EXPECT_EQ(run.process.err, "") << "a successful run writes nothing to standard error";
    EXPECT_TRUE(run.malformed.empty()) << "not an event line: " << run.malformed.front();
    ASSERT_FALSE(run.events.empty());
    EXPECT_EQ(run.events.back(), completed);
  }

  for (int number = 1; number <= kCalls; ++number) {
    SCOPED_TRACE(device(number));
    EXPECT_EQ(devices[number - 1]->finish(30s), 0) << "the simulator did not end cleanly after its call";
    const json state = qav::testing::readDeviceState(statePath(number));
    ASSERT_TRUE(state.is_object()) << "no readable state file";
    EXPECT_EQ(state.value("routine-time", json()), "06" + twoDigits(number));
    EXPECT_EQ(state.value("service-number", json()), serviceNumber(number));
  }

  const std::string locations = pbx.locations();
  EXPECT_EQ(locations.find("AoR: "), std::string::npos) << "registrations left at the PBX:\n" << locations;
}

}  // namespace
}  // namespace qav::load
