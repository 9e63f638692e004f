#include "outage_pbx.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "shell_word.h"
#include "test_pbx.h"

namespace qav::netem {

using namespace std::chrono_literals;
using qav::testing::runCommand;
using qav::testing::shellWord;

OutagePbx::OutagePbx(const qav::testing::NetworkLab& lab, const std::string& directory)
    : NamespacePbx(lab.wanNamespace(), lab.wanAddress(), directory) {}

void OutagePbx::kill() {
  runCommand("kill -KILL -$(cat " + shellWord(directory() + "/kamailio.pid") + ") 2>&1");
  // Gone means its port is free; the processes may linger as zombies.
  for (int i = 0; i < 100 && listening(); ++i) std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(listening()) << "kamailio still listens after SIGKILL";
}

bool OutagePbx::listening() const {
  const std::string sockets = runCommand("ip netns exec " + shellWord(ns()) + " ss -Hlun 2>&1");
  return sockets.find(":" + std::to_string(udpPort()) + " ") != std::string::npos;
}

void OutagePbx::restart() {
  runCommand(qav::testing::pbxScript() + " stop " + shellWord(directory()) + " 2>&1");
  for (int i = 0; i < 100 && listening(); ++i) std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(listening()) << "kamailio did not stop";
  startAgain();
  EXPECT_TRUE(listening()) << "kamailio came back on another port";
}

void OutagePbx::startAgain() {
  // As the pbx script starts it, from the configuration it filled in; the
  // script's stop ends this one too.
  runCommand("cd " + shellWord(directory()) + " && ip netns exec " + shellWord(ns()) +
             " setsid /usr/sbin/kamailio -f kamailio.cfg -Y . -w . -DD -E -m 32 -M 8 </dev/null >>kamailio.log 2>&1 &"
             " echo $! > " + shellWord(directory() + "/kamailio.pid"));
  for (int i = 0; i < 100; ++i) {
    const std::string control = "kamcmd -s unix:" + shellWord(directory() + "/kamailio.ctl");
    if (runCommand(control + " core.uptime >/dev/null 2>&1 && echo up").find("up") != std::string::npos) return;
    std::this_thread::sleep_for(50ms);
  }
  throw std::runtime_error("kamailio did not come back in " + directory());
}

}  // namespace qav::netem
