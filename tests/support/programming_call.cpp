#include "programming_call.h"

#include <gtest/gtest.h>

#include <fstream>

#ifndef QAV_SIM
#error "QAV_SIM must name the simulator program"
#endif
#ifndef QAV_CLI
#error "QAV_CLI must name the programming program"
#endif

namespace qav::testing {

namespace {

std::vector<std::string> joined(std::vector<std::string> first, const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

}  // namespace

std::string cliProgram() { return QAV_CLI; }
std::string simulatorProgram() { return QAV_SIM; }

Command cliCommand(const std::vector<std::string>& args, const std::map<std::string, std::string>& env) {
  Command command{joined({QAV_CLI}, args), std::map<std::string, std::string>{{"PATH", "/usr/bin:/bin"}, {"TZ", "UTC"}}};
  for (const auto& [name, value] : env) (*command.env)[name] = value;
  return command;
}

Command simulatorCommand(const std::string& registrar, const std::string& statePath, const std::string& user) {
  return {{QAV_SIM, "--registrar", registrar, "--user", user, "--password", user + "-secret", "--state", statePath,
           "--events", "--calls", "1"},
          std::nullopt,
          "",
          Streams::Merged};
}

nlohmann::json readDeviceState(const std::string& path) {
  std::ifstream in(path);
  if (!in) return nullptr;
  return nlohmann::json::parse(in, nullptr, false);
}

void writeDeviceState(const std::string& path, const nlohmann::json& state) { std::ofstream(path) << state.dump(); }

void ProgrammingCallParties::startSimulator(const std::vector<std::string>& extra, bool oneCall,
                                            std::chrono::milliseconds limit) {
  Command command = simulatorCommand(site.pbxHost + ":" + std::to_string(site.pbxPort), statePath());
  if (!oneCall) command.argv.resize(command.argv.size() - 2);
  if (!site.transport.empty()) command.argv.insert(command.argv.end(), {"--transport", site.transport});
  command.argv = joined(site.simulatorPrefix, joined(command.argv, extra));
  simulator = std::make_unique<Process>(command);
  ASSERT_TRUE(simulator->waitFor("registered", limit)) << "qav-sim did not register";
}

std::vector<std::string> ProgrammingCallParties::simulatorLines(std::chrono::milliseconds limit) {
  EXPECT_EQ(simulator->finish(limit), 0) << "qav-sim did not end cleanly after its call";
  return simulator->lines();
}

std::vector<std::string> ProgrammingCallParties::cliArguments(const std::vector<std::string>& extra) const {
  std::vector<std::string> args{QAV_CLI,         "--sip-server", site.pbxHost, "--sip-port",
                                std::to_string(site.pbxPort), "--sip-user", "tester",
                                "--sip-password", "tester-secret"};
  if (!site.transport.empty()) args.insert(args.end(), {"--sip-transport", site.transport});
  args.insert(args.end(), {"--target", "qav", "--json"});
  return joined(args, extra);
}

CliRun ProgrammingCallParties::runCall(const std::vector<std::string>& extra, std::chrono::milliseconds limit,
                                       const std::vector<std::string>& launcher) const {
  const std::vector<std::string> argv = joined(site.cliPrefix, joined(launcher, cliArguments(extra)));
  return readEvents(runToEnd({argv}, limit));
}

}  // namespace qav::testing
