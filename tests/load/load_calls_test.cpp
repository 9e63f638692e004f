// Twenty programming calls at once through one test PBX: twenty simulated
// devices, each programmed by a qav-cli of its own with values of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "child_process.h"
#include "concurrent_runs.h"
#include "test_pbx.h"

#ifndef QAV_SIM
#error "QAV_SIM must name the simulator program"
#endif
#ifndef QAV_CLI
#error "QAV_CLI must name the programming program"
#endif

namespace qav::load {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using qav::e2e::ProcessRun;
using qav::sim::testing::ChildProcess;

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

  json readState(int number) const {
    std::ifstream in(statePath(number));
    if (!in) return nullptr;
    return json::parse(in, nullptr, false);
  }

  void startDevices() {
    for (int number = 1; number <= kCalls; ++number) {
      devices.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{
          QAV_SIM, "--registrar", "127.0.0.1:" + std::to_string(pbx.udpPort()), "--user", device(number),
          "--password", device(number) + "-secret", "--state", statePath(number), "--events", "--calls", "1"}));
    }
    for (int number = 1; number <= kCalls; ++number)
      ASSERT_TRUE(devices[number - 1]->waitFor("registered", 20s)) << device(number) << " did not register";
  }

  std::vector<std::string> callerArguments(int number) const {
    return {QAV_CLI,      "--sip-server",     "127.0.0.1",          "--sip-port", std::to_string(pbx.udpPort()),
            "--sip-user", caller(number),     "--sip-password",     caller(number) + "-secret",
            "--target",   device(number),     "--json",             "--actions",  "routine,service",
            "--routine-at", routineAt(number), "--service-number", serviceNumber(number)};
  }

  qav::testing::TestPbx pbx;
  qav::testing::TemporaryDirectory directory;
  std::vector<std::unique_ptr<ChildProcess>> devices;
};

// The JSON events of a run; a line that is not one fails the test.
std::vector<json> eventsOf(const ProcessRun& run) {
  std::vector<json> events;
  for (const auto& line : run.out) {
    json event = json::parse(line.text, nullptr, false);
    if (event.is_discarded())
      ADD_FAILURE() << "not a JSON line: " << line.text;
    else
      events.push_back(std::move(event));
  }
  return events;
}

TEST_F(LoadCallsTest, TwentyCallsAtOnceEachProgramOnlyTheirOwnDevice) {
  ASSERT_NO_FATAL_FAILURE(startDevices());
  std::vector<std::vector<std::string>> callers;
  for (int number = 1; number <= kCalls; ++number) callers.push_back(callerArguments(number));
  const std::vector<ProcessRun> runs = runTogether(callers, 300s);

  const json completed = {{"level", "success"}, {"event", "complete"}, {"message", "Programmierung abgeschlossen"}};
  for (int number = 1; number <= kCalls; ++number) {
    SCOPED_TRACE(caller(number) + " calling " + device(number));
    const ProcessRun& run = runs[number - 1];
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "") << "a successful run writes nothing to standard error";
    const std::vector<json> events = eventsOf(run);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), completed);
  }

  for (int number = 1; number <= kCalls; ++number) {
    SCOPED_TRACE(device(number));
    EXPECT_EQ(devices[number - 1]->finish(30s), 0) << "the simulator did not end cleanly after its call";
    const json state = readState(number);
    ASSERT_TRUE(state.is_object()) << "no readable state file";
    EXPECT_EQ(state.value("routine-time", json()), "06" + twoDigits(number));
    EXPECT_EQ(state.value("service-number", json()), serviceNumber(number));
  }

  const std::string locations = pbx.locations();
  EXPECT_EQ(locations.find("AoR: "), std::string::npos) << "registrations left at the PBX:\n" << locations;
}

}  // namespace
}  // namespace qav::load
