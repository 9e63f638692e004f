// The pbx script as tests start it: PBXs started at the same moment, one
// that ignores SIGTERM, one whose directory vanished, one inside the lab.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <regex>
#include <set>
#include <thread>
#include <vector>

#include "test_lab.h"
#include "test_pbx.h"

namespace qav::testing {
namespace {

using namespace std::chrono_literals;

struct StartedPbx {
  std::string directory;
  std::string output;
  int pid = 0;
  std::vector<int> ports;
};

StartedPbx startPbx(const std::string& directory, const std::string& environment = "") {
  StartedPbx started{directory, runCommand(environment + pbxScript() + " start " + directory + " 2>&1"), 0, {}};
  std::smatch match;
  if (std::regex_search(started.output, match, std::regex("^udp=(\\d+) tcp=(\\d+) tls=(\\d+) ctl=\\S+\\n$")))
    started.ports = {std::stoi(match[1]), std::stoi(match[2]), std::stoi(match[3])};
  if (std::filesystem::exists(directory + "/kamailio.pid"))
    started.pid = std::stoi(runCommand("cat " + directory + "/kamailio.pid"));
  return started;
}

// True when no process of kamailio's group is left within the limit, which
// only bounds a stop that never comes.
bool groupEnds(int pid) {
  for (int i = 0; i < 200; ++i) {
    if (kill(-pid, 0) != 0) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

TEST(PbxScriptTest, PbxsStartedAtOnceAllComeUpOnDistinctPorts) {
  TemporaryDirectory directory;
  std::vector<std::future<StartedPbx>> starting;
  for (int i = 0; i < 4; ++i)
    starting.push_back(std::async(std::launch::async, startPbx, directory.path() + "/pbx" + std::to_string(i), ""));
  std::set<int> ports;
  std::vector<StartedPbx> started;
  for (auto& future : starting) started.push_back(future.get());
  for (const StartedPbx& pbx : started) {
    EXPECT_EQ(pbx.ports.size(), 3u) << pbx.output;
    ports.insert(pbx.ports.begin(), pbx.ports.end());
  }
  EXPECT_EQ(ports.size(), 12u) << "two PBXs were given the same port";
  for (const StartedPbx& pbx : started) {
    runCommand(pbxScript() + " stop " + pbx.directory);
    if (pbx.pid > 0) {
      EXPECT_TRUE(groupEnds(pbx.pid));
    }
  }
}

TEST(PbxScriptTest, StopKillsAPbxThatIgnoresSigterm) {
  TemporaryDirectory directory;
  const StartedPbx pbx = startPbx(directory.path() + "/pbx");
  ASSERT_GT(pbx.pid, 0) << pbx.output;
  // A stopped process holds SIGTERM pending for ever; only SIGKILL ends it.
  kill(-pbx.pid, SIGSTOP);
  runCommand(pbxScript() + " stop " + pbx.directory);
  EXPECT_TRUE(groupEnds(pbx.pid));
  EXPECT_FALSE(std::filesystem::exists(pbx.directory + "/kamailio.pid"));
}

TEST(PbxScriptTest, PbxEndsWhenItsDirectoryIsRemoved) {
  TemporaryDirectory directory;
  const StartedPbx pbx = startPbx(directory.path() + "/pbx");
  ASSERT_GT(pbx.pid, 0) << pbx.output;
  std::filesystem::remove_all(pbx.directory);
  EXPECT_TRUE(groupEnds(pbx.pid)) << "kamailio outlived its directory";
}

class PbxInLabTest : public NetworkLabTest {};

TEST_F(PbxInLabTest, ListensOnTheGivenAddressInsideTheNamespace) {
  TemporaryDirectory directory;
  const StartedPbx pbx = startPbx(directory.path() + "/pbx", "PBX_ADDRESS=" + net().wanAddress() +
                                                                 " ip netns exec " + net().wanNamespace() + " ");
  ASSERT_EQ(pbx.ports.size(), 3u) << pbx.output;
  const std::string sockets = NetworkLab::run(net().wanNamespace(), "ss -Hlnut");
  for (int port : pbx.ports)
    EXPECT_NE(sockets.find(net().wanAddress() + ":" + std::to_string(port)), std::string::npos) << sockets;
  EXPECT_NE(runCommand("openssl x509 -noout -subject -in " + pbx.directory + "/cert.pem").find(net().wanAddress()),
            std::string::npos);
  // Control stays reachable from outside the namespace.
  EXPECT_NE(runCommand(pbxScript() + " locations " + pbx.directory + " 2>&1").find("Domain"), std::string::npos);
  runCommand(pbxScript() + " stop " + pbx.directory);
  EXPECT_TRUE(groupEnds(pbx.pid));
}

TEST(PbxScriptTest, RefusesAnAddressThatIsNoIpv4Address) {
  TemporaryDirectory directory;
  const StartedPbx pbx = startPbx(directory.path() + "/pbx", "PBX_ADDRESS='127.0.0.1;x' ");
  EXPECT_TRUE(pbx.ports.empty());
  EXPECT_NE(pbx.output.find("PBX_ADDRESS"), std::string::npos) << pbx.output;
}

}  // namespace
}  // namespace qav::testing
