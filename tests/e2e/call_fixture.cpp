#include "call_fixture.h"

#include <algorithm>
#include <fstream>
#include <ostream>

#ifndef QAV_SIM
#error "QAV_SIM must name the simulator program"
#endif
#ifndef QAV_CLI
#error "QAV_CLI must name the programming program"
#endif

namespace qav::e2e {

using namespace std::chrono_literals;

namespace {

const std::vector<std::string> kLevels{"info", "pending", "success", "retry", "error"};

bool isEventObject(const nlohmann::ordered_json& line) {
  if (!line.is_object() || line.size() != 3) return false;
  const std::vector<std::string> order{"level", "event", "message"};
  std::size_t i = 0;
  for (const auto& [key, value] : line.items()) {
    if (key != order[i++] || !value.is_string()) return false;
  }
  return std::count(kLevels.begin(), kLevels.end(), line["level"].get<std::string>()) == 1;
}

CliCall parseCall(ProcessRun process) {
  CliCall call;
  for (const OutputLine& line : process.out) {
    const auto parsed = nlohmann::ordered_json::parse(line.text, nullptr, false);
    if (parsed.is_discarded() || !isEventObject(parsed)) {
      call.malformed.push_back(line.text);
      continue;
    }
    call.events.push_back({parsed["level"], parsed["event"], parsed["message"]});
  }
  call.process = std::move(process);
  return call;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Event& event) {
  return out << event.level << " " << event.event << " \"" << event.message << "\"";
}

std::vector<const Event*> CliCall::withLevel(const std::string& level) const {
  std::vector<const Event*> found;
  for (const Event& event : events)
    if (event.level == level) found.push_back(&event);
  return found;
}

std::optional<Clock::time_point> CliCall::arrivalOf(const Event& wanted) const {
  // Events and lines correspond one to one only when nothing was malformed.
  if (!malformed.empty()) return std::nullopt;
  for (std::size_t i = 0; i < events.size(); ++i)
    if (events[i] == wanted) return process.out[i].arrived;
  return std::nullopt;
}

std::vector<std::string> CliCall::segmentLabels() const {
  std::vector<std::string> labels;
  const std::regex segment("  (?:├|└)─ (.*) \\(Versuch \\d+/\\d+\\)");
  std::smatch match;
  for (const Event* event : withLevel("pending"))
    if (std::regex_match(event->message, match, segment)) labels.push_back(match[1]);
  return labels;
}

std::string extract(const std::vector<std::string>& labels, const std::regex& pattern) {
  std::smatch match;
  for (const std::string& label : labels) {
    if (!std::regex_search(label, match, pattern)) continue;
    std::string joined;
    for (std::size_t i = 1; i < match.size(); ++i) joined += match[i];
    return joined;
  }
  return "";
}

qav::testing::TestPbx* EndToEndCallTest::pbx = nullptr;

void EndToEndCallTest::SetUpTestSuite() { pbx = new qav::testing::TestPbx(); }

void EndToEndCallTest::TearDownTestSuite() {
  delete pbx;
  pbx = nullptr;
}

void EndToEndCallTest::TearDown() { simulator.reset(); }

void EndToEndCallTest::seedState(const json& state) const { std::ofstream(statePath()) << state.dump(); }

json EndToEndCallTest::readState() const {
  std::ifstream in(statePath());
  if (!in) return nullptr;
  return json::parse(in, nullptr, false);
}

void EndToEndCallTest::startSimulator(const std::vector<std::string>& extra) {
  std::vector<std::string> args{QAV_SIM,  "--registrar", "127.0.0.1:" + std::to_string(pbx->udpPort()),
                                "--user", "qav",         "--password",
                                "qav-secret", "--state", statePath(),
                                "--events",   "--calls", "1"};
  args.insert(args.end(), extra.begin(), extra.end());
  simulator = std::make_unique<qav::sim::testing::ChildProcess>(args);
  ASSERT_TRUE(simulator->waitFor("registered", 5s)) << "qav-sim did not register";
}

std::vector<std::string> EndToEndCallTest::simulatorLines() {
  EXPECT_EQ(simulator->finish(15s), 0) << "qav-sim did not end cleanly after its call";
  EXPECT_FALSE(pbx->hasLocation("qav")) << "qav-sim left its registration behind";
  return simulator->lines();
}

std::vector<std::string> EndToEndCallTest::cliArguments(const std::vector<std::string>& extra) const {
  std::vector<std::string> args{QAV_CLI,         "--sip-server", "127.0.0.1",     "--sip-port",
                                std::to_string(pbx->udpPort()), "--sip-user",   "tester",
                                "--sip-password", "tester-secret", "--target",  "qav",
                                "--json"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

CliCall EndToEndCallTest::call(const std::vector<std::string>& extra, const std::vector<std::string>& launcher) {
  CliCall result = parseCall(runToEnd(with(launcher, cliArguments(extra)), 240s));
  EXPECT_TRUE(result.malformed.empty()) << "not an event line: " << result.malformed.front();
  EXPECT_FALSE(pbx->hasLocation("tester")) << "qav-cli left its registration behind";
  return result;
}

std::vector<PlannedAction> EndToEndCallTest::plan(const std::vector<std::string>& extra) {
  std::vector<std::string> args = cliArguments(extra);
  args.push_back("--dry-run");
  const CliCall listing = parseCall(runToEnd(args, 20s));
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
