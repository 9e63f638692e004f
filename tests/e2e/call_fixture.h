// End-to-end programming calls: the test PBX, qav-sim registered as "qav" and
// qav-cli as "tester", each its own process, and what the call left behind.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "programming_call.h"
#include "test_pbx.h"

namespace qav::e2e {

using nlohmann::json;
using qav::testing::CliRun;
using qav::testing::Clock;
using qav::testing::extract;
using qav::testing::kFastDigits;
using qav::testing::segmentLabels;
using Event = qav::menu::CliEvent;

struct PlannedSegment {
  std::string label;
  std::string digits;
};

struct PlannedAction {
  std::string name;
  std::string title;
  std::vector<PlannedSegment> segments;
};

class EndToEndCallTest : public ::testing::Test, protected qav::testing::ProgrammingCallParties {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Its event lines once it has ended after its call; it must have left
  // the PBX.
  std::vector<std::string> simulatorLines();

  // qav-cli with the PBX account, the target "qav" and --json before `extra`,
  // started through `launcher` if one is given; afterwards qav-cli's user
  // must be gone from the PBX and every output line must be an event.
  CliRun call(const std::vector<std::string>& extra, const std::vector<std::string>& launcher = {});
  std::vector<PlannedAction> plan(const std::vector<std::string>& extra);

  static qav::testing::TestPbx* pbx;
  qav::testing::TemporaryDirectory directory;
};

// The device's step number (its own count, from 1 for the start signal) on
// which it answers segment `segment` (from 0) of the action `name`.
std::uint32_t deviceStep(const std::vector<PlannedAction>& plan, const std::string& name, std::size_t segment,
                         bool sharedLine = false);
// The step on which it answers the closing "0".
std::uint32_t closingStep(const std::vector<PlannedAction>& plan, bool sharedLine = false);

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more);

}  // namespace qav::e2e
