// End-to-end programming calls: the test PBX, qav-sim registered as "qav" and
// qav-cli as "tester", each its own process, and what the call left behind.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "child_process.h"
#include "cli_process.h"
#include "test_pbx.h"

namespace qav::e2e {

using nlohmann::json;

// Fast enough that a call with every action stays near a minute, slow
// enough for the device's digit timing.
const std::vector<std::string> kFastDigits{"--dtmf-tone-ms", "80", "--dtmf-gap-ms", "80", "--settle-ms", "100"};

struct Event {
  std::string level;
  std::string event;
  std::string message;

  bool operator==(const Event&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Event& event);

struct CliCall {
  ProcessRun process;
  std::vector<Event> events;
  // Lines of standard output that are not an event object as the JSON
  // stream defines it: exactly level, event and message, in that order.
  std::vector<std::string> malformed;

  const std::optional<int>& status() const { return process.status; }
  std::vector<const Event*> withLevel(const std::string& level) const;
  // The arrival time of the first event equal to `wanted`, if any.
  std::optional<Clock::time_point> arrivalOf(const Event& wanted) const;
  // The segment labels of the attempts, in order, without the tree prefix
  // and the attempt suffix.
  std::vector<std::string> segmentLabels() const;
};

struct PlannedSegment {
  std::string label;
  std::string digits;
};

struct PlannedAction {
  std::string name;
  std::string title;
  std::vector<PlannedSegment> segments;
};

// Joins the groups of the first label that matches, "" when none does.
std::string extract(const std::vector<std::string>& labels, const std::regex& pattern);

class EndToEndCallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void TearDown() override;

  std::string statePath() const { return directory.path() + "/state.json"; }
  void seedState(const json& state) const;
  // Null when the device never saved anything.
  json readState() const;

  // A simulator that takes one call and then ends.
  void startSimulator(const std::vector<std::string>& extra = {});
  // Its event lines, once it has ended after its call.
  std::vector<std::string> simulatorLines();

  // qav-cli with the PBX account, the target "qav" and --json before `extra`,
  // started through `launcher` if one is given; afterwards qav-cli's user
  // must be gone from the PBX.
  CliCall call(const std::vector<std::string>& extra, const std::vector<std::string>& launcher = {});
  std::vector<PlannedAction> plan(const std::vector<std::string>& extra);
  // The command line call() runs, without a launcher.
  std::vector<std::string> cliArguments(const std::vector<std::string>& extra) const;

  static qav::testing::TestPbx* pbx;
  qav::testing::TemporaryDirectory directory;
  std::unique_ptr<qav::sim::testing::ChildProcess> simulator;
};

// The device's step number (its own count, from 1 for the start signal) on
// which it answers segment `segment` (from 0) of the action `name`.
std::uint32_t deviceStep(const std::vector<PlannedAction>& plan, const std::string& name, std::size_t segment,
                         bool sharedLine = false);
// The step on which it answers the closing "0".
std::uint32_t closingStep(const std::vector<PlannedAction>& plan, bool sharedLine = false);

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more);

}  // namespace qav::e2e
