#include "call_fixture.h"

#include <regex>

namespace qav::e2e {

using namespace std::chrono_literals;

qav::testing::TestPbx* EndToEndCallTest::pbx = nullptr;

void EndToEndCallTest::SetUpTestSuite() { pbx = new qav::testing::TestPbx(); }

void EndToEndCallTest::TearDownTestSuite() {
  delete pbx;
  pbx = nullptr;
}

void EndToEndCallTest::SetUp() {
  site.pbxPort = pbx->udpPort();
  site.directory = directory.path();
}

void EndToEndCallTest::TearDown() { simulator.reset(); }

std::vector<std::string> EndToEndCallTest::simulatorLines() {
  std::vector<std::string> lines = ProgrammingCallParties::simulatorLines(15s);
  EXPECT_FALSE(pbx->hasLocation("qav")) << "qav-sim left its registration behind";
  return lines;
}

CliRun EndToEndCallTest::call(const std::vector<std::string>& extra, const std::vector<std::string>& launcher) {
  CliRun result = runCall(extra, 240s, launcher);
  EXPECT_TRUE(result.malformed.empty()) << "not an event line: " << result.malformed.front();
  EXPECT_FALSE(pbx->hasLocation("tester")) << "qav-cli left its registration behind";
  return result;
}

std::vector<PlannedAction> EndToEndCallTest::plan(const std::vector<std::string>& extra) {
  std::vector<std::string> args = extra;
  args.push_back("--dry-run");
  const CliRun listing = runCall(args, 20s);
  EXPECT_EQ(listing.status(), 0) << listing.process.err;
  std::vector<PlannedAction> actions;
  const std::regex action("(.*) \\[([a-z0-9-]+)\\]");
  const std::regex segment("  (.*): ([0-9*#]*) → .*");
  std::smatch match;
  for (const Event& event : listing.events) {
    if (event.event == "action" && std::regex_match(event.message, match, action))
      actions.push_back({match[2], match[1], {}});
    else if (event.event == "segment" && !actions.empty() && std::regex_match(event.message, match, segment))
      actions.back().segments.push_back({match[1], match[2]});
  }
  return actions;
}

std::uint32_t deviceStep(const std::vector<PlannedAction>& plan, const std::string& name, std::size_t segment,
                         bool sharedLine) {
  // The start signal, the cabin digit on a shared line, the PIN.
  std::uint32_t step = sharedLine ? 3 : 2;
  for (const PlannedAction& action : plan) {
    if (action.name == name) return step + 1 + static_cast<std::uint32_t>(segment);
    step += static_cast<std::uint32_t>(action.segments.size());
  }
  ADD_FAILURE() << "no action " << name << " in the plan";
  return 0;
}

std::uint32_t closingStep(const std::vector<PlannedAction>& plan, bool sharedLine) {
  std::uint32_t step = sharedLine ? 3 : 2;
  for (const PlannedAction& action : plan) step += static_cast<std::uint32_t>(action.segments.size());
  return step + 1;
}

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more) {
  base.insert(base.end(), more.begin(), more.end());
  return base;
}

}  // namespace qav::e2e
