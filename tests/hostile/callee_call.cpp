#include "callee_call.h"

#include <regex>
#include <thread>

#include "run_checks.h"

namespace qav::hostile {

CalleeCall callThroughPbx(const testing::TestPbx& pbx, const std::string& scenario, std::chrono::seconds limit,
                          const std::function<void(pid_t)>& whileRunning, const std::vector<std::string>& extra) {
  ScriptedPeer callee(scenario);
  CliCall call{accountArguments(pbx.udpPort(), callee.uri("callee")), {}, limit, "", whileRunning};
  call.args.insert(call.args.end(), extra.begin(), extra.end());
  CalleeCall result;
  result.run = runCli(call);
  result.calleeStatus = callee.wait(std::chrono::seconds(10));
  result.calleeMessages = callee.messages();
  result.registrationLeft = pbx.hasLocation("tester");
  return result;
}

int registeredPort(const testing::TestPbx& pbx, const std::string& user) {
  const std::string table = pbx.locations();
  std::smatch match;
  const std::regex contact("Address: sip:" + user + "@127\\.0\\.0\\.1:(\\d+)");
  if (!std::regex_search(table, match, contact)) return 0;
  return std::stoi(match[1]);
}

}  // namespace qav::hostile
