// The lab network: what crosses the NAT and what does not, the direct link,
// and that namespaces and their processes never outlive their lab.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "namespace_socket.h"
#include "test_lab.h"
#include "test_pbx.h"

namespace qav::testing {
namespace {

using namespace std::chrono_literals;

bool namespaceExists(const std::string& ns) { return std::filesystem::exists("/run/netns/" + ns); }

// A zombie waiting for init to reap it counts as ended.
bool running(int pid) {
  const std::string stat = runCommand("cat /proc/" + std::to_string(pid) + "/stat 2>/dev/null");
  const auto close = stat.rfind(')');
  return close != std::string::npos && stat.size() > close + 2 && stat[close + 2] != 'Z';
}

// Polls for a state the watchdog reaches within about a second; the limit
// only bounds a broken watchdog.
template <typename Condition>
bool eventually(Condition condition) {
  for (auto deadline = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < deadline;) {
    if (condition()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return condition();
}

class NatLabTest : public NetworkLabTest {};

TEST_F(NatLabTest, LanTrafficLeavesWithThePublicAddressAndOnlyAnswersComeBack) {
  EXPECT_EQ(net().lanAddress(), "10.77.0.2");
  EXPECT_EQ(net().wanAddress(), "198.51.100.2");
  EXPECT_EQ(net().publicAddress(), "198.51.100.1");
  Socket server = udpSocketIn(net().wanNamespace(), net().wanAddress(), 0);
  Socket client = udpSocketIn(net().lanNamespace(), "0.0.0.0", 0);

  ASSERT_TRUE(sendTo(client, net().wanAddress(), localPort(server), "hello"));
  const auto arrived = receive(server, 2000);
  ASSERT_TRUE(arrived);
  EXPECT_EQ(arrived->fromAddress, net().publicAddress());
  EXPECT_EQ(arrived->payload, "hello");

  ASSERT_TRUE(sendTo(server, arrived->fromAddress, arrived->fromPort, "answer"));
  const auto answer = receive(client, 2000);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->payload, "answer");
  EXPECT_EQ(answer->fromAddress, net().wanAddress());

  // Another wan socket to the same public mapping is not part of the
  // connection, and the private address is not routed at all.
  Socket stranger = udpSocketIn(net().wanNamespace(), net().wanAddress(), 0);
  sendTo(stranger, arrived->fromAddress, arrived->fromPort, "unsolicited");
  EXPECT_FALSE(sendTo(stranger, net().lanAddress(), localPort(client), "direct"));
  EXPECT_FALSE(receive(client, 300));
}

// A far end that sends to the public port before the lan's first datagram
// out of it must not move the lan's flow to another public port: the port a
// STUN server reported is the one the far end uses.
TEST_F(NatLabTest, EarlyDatagramsFromTheWanDoNotMoveTheLansPublicPort) {
  Socket server = udpSocketIn(net().wanNamespace(), net().wanAddress(), 0);
  Socket stun = udpSocketIn(net().wanNamespace(), net().wanAddress(), 0);
  Socket client = udpSocketIn(net().lanNamespace(), "0.0.0.0", 0);
  ASSERT_TRUE(sendTo(client, net().wanAddress(), localPort(stun), "binding"));
  const auto mapped = receive(stun, 2000);
  ASSERT_TRUE(mapped);

  sendTo(server, net().publicAddress(), mapped->fromPort, "early");
  ASSERT_TRUE(sendTo(client, net().wanAddress(), localPort(server), "first"));
  const auto arrived = receive(server, 2000);
  ASSERT_TRUE(arrived);
  EXPECT_EQ(arrived->fromPort, mapped->fromPort);
  ASSERT_TRUE(sendTo(server, net().publicAddress(), mapped->fromPort, "answer"));
  const auto answer = receive(client, 2000);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->payload, "answer") << "the early datagram was delivered";
}

class DirectLabTest : public NetworkLabTest {
 protected:
  DirectLabTest() : NetworkLabTest(LabShape::Direct) {}
};

TEST_F(DirectLabTest, BothSidesReachEachOtherUntranslated) {
  EXPECT_TRUE(net().routerNamespace().empty());
  EXPECT_EQ(net().publicAddress(), net().lanAddress());
  EXPECT_EQ(net().lanDevice(), "lan0");
  Socket lan = udpSocketIn(net().lanNamespace(), net().lanAddress(), 0);
  Socket wan = udpSocketIn(net().wanNamespace(), net().wanAddress(), 0);
  ASSERT_TRUE(sendTo(wan, net().lanAddress(), localPort(lan), "first"));
  const auto atLan = receive(lan, 2000);
  ASSERT_TRUE(atLan);
  EXPECT_EQ(atLan->fromAddress, net().wanAddress());
  // The device netem will shape is the lan side of the link.
  EXPECT_NE(NetworkLab::run(net().lanNamespace(), "ip -o link show " + net().lanDevice()).find("lan0@"),
            std::string::npos);
}

class LabLifetimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const auto reason = labUnavailableReason()) GTEST_SKIP() << *reason;
  }
};

TEST_F(LabLifetimeTest, DownKillsWhatRunsInsideAndCanBeRepeated) {
  NetworkLab lab(LabShape::Nat);
  const std::string lan = lab.lanNamespace(), wan = lab.wanNamespace(), router = lab.routerNamespace();
  NetworkLab second(LabShape::Nat);
  EXPECT_NE(second.lanNamespace(), lan) << "two labs share namespace names";

  runCommand("ip netns exec " + wan + " setsid sleep 300 >/dev/null 2>&1 & echo");
  ASSERT_TRUE(eventually([&] { return !runCommand("ip netns pids " + wan).empty(); }));
  const std::string sleeper = runCommand("ip netns pids " + wan);
  const std::string directory = lab.directory();
  runCommand(labScript() + " down " + directory + "/lab");
  for (const std::string& ns : {lan, wan, router}) EXPECT_FALSE(namespaceExists(ns)) << ns;
  EXPECT_FALSE(running(std::stoi(sleeper))) << "a process of the lab survived it";
  EXPECT_NE(runCommand(labScript() + " down " + directory + "/lab; echo status=$?").find("status=0"),
            std::string::npos);
  EXPECT_TRUE(namespaceExists(second.lanNamespace()));
}

TEST_F(LabLifetimeTest, WatchdogTakesTheLabDownWhenTheOwnerEndsOrTheDirectoryGoes) {
  TemporaryDirectory directory;
  Process owner({{"/bin/sleep", "300"}, std::nullopt, "", Streams::None});
  const std::string output =
      runCommand(labScript() + " up " + directory.path() + "/a " + std::to_string(owner.pid()) + " 2>&1");
  const std::string byRemoval = runCommand(labScript() + " up " + directory.path() + "/b --nat " +
                                           std::to_string(getpid()) + " 2>&1");
  const auto lanOf = [](const std::string& line) { return line.substr(4, line.find(' ') - 4); };
  ASSERT_EQ(output.rfind("lan=", 0), 0u) << output;
  ASSERT_EQ(byRemoval.rfind("lan=", 0), 0u) << byRemoval;
  ASSERT_TRUE(namespaceExists(lanOf(output)));

  owner.sendSignal(SIGKILL);
  owner.finish(std::chrono::seconds(5));
  EXPECT_TRUE(eventually([&] { return !namespaceExists(lanOf(output)); }));

  ASSERT_TRUE(namespaceExists(lanOf(byRemoval)));
  std::filesystem::remove_all(directory.path() + "/b");
  EXPECT_TRUE(eventually([&] { return !namespaceExists(lanOf(byRemoval)); }));
  runCommand(labScript() + " down " + directory.path() + "/a");
}

TEST_F(LabLifetimeTest, FailedUpLeavesNothingBehindAndAHeldDirectoryIsRefused) {
  TemporaryDirectory directory;
  // A namespace in the way of the wan side: up fails after it made the lan.
  const std::string blocked = directory.path() + "/blocked";
  const std::string tag = runCommand("printf %s " + blocked + " | md5sum | cut -c1-10");
  const std::string prefix = "qavlab-" + tag.substr(0, 10);
  runCommand("ip netns add " + prefix + "-wan");
  const std::string failed = runCommand(labScript() + " up " + blocked + " --nat 2>&1; echo status=$?");
  EXPECT_NE(failed.find("exists already"), std::string::npos) << failed;
  EXPECT_FALSE(namespaceExists(prefix + "-lan")) << "a failed up left its lan namespace";
  EXPECT_TRUE(namespaceExists(prefix + "-wan")) << "a failed up deleted a namespace it did not make";
  runCommand("ip netns del " + prefix + "-wan");

  const std::string lab = directory.path() + "/lab";
  const std::string first = runCommand(labScript() + " up " + lab + " 2>&1");
  ASSERT_EQ(first.rfind("lan=", 0), 0u) << first;
  const std::string again = runCommand(labScript() + " up " + lab + " --nat 2>&1; echo status=$?");
  EXPECT_NE(again.find("already holds a lab"), std::string::npos) << again;
  const std::string lan = first.substr(4, first.find(' ') - 4);
  EXPECT_TRUE(namespaceExists(lan)) << "a refused up took the running lab down";
  runCommand(labScript() + " down " + lab);
  EXPECT_FALSE(namespaceExists(lan));
}

}  // namespace
}  // namespace qav::testing
