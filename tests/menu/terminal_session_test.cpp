#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "menu_test_support.h"
#include "temporary_directory.h"

namespace qav::menu {
namespace {

using qav::testing::TemporaryDirectory;

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// qav-menu on a real terminal: a tmux server on a socket of this test only.
class TmuxTerminal {
 public:
  explicit TmuxTerminal(const TemporaryDirectory& scratch) : scratch(scratch) {
    socket = scratch.path("tmux.sock");
    const std::string start = "cd " + quoted(scratch.path()) +
                              " && env -i PATH=/usr/bin:/bin TERM=xterm " + quoted(QAV_MENU_PATH);
    started = tmux("new-session -d -x 160 -y 50 " + quoted(start)) == 0;
  }
  ~TmuxTerminal() { tmux("kill-server"); }
  TmuxTerminal(const TmuxTerminal&) = delete;
  TmuxTerminal& operator=(const TmuxTerminal&) = delete;

  bool isRunning() const { return started; }

  void type(const std::string& keys) {
    tmux("send-keys -l " + quoted(keys) + " \\; send-keys Enter");
  }

  std::string screen() const {
    const std::string file = scratch.path("screen");
    tmux("capture-pane -p -S -200 > " + quoted(file));
    return test::fileText(file);
  }

  // Waits for text to show; the limit only stops a hung menu, it is no
  // measure of speed.
  bool waitFor(const std::string& text) const {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < limit) {
      if (screen().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  int tmux(const std::string& arguments) const {
    return std::system(("tmux -S " + quoted(socket) + " " + arguments + " 2>/dev/null").c_str());
  }

  const TemporaryDirectory& scratch;
  std::string socket;
  bool started = false;
};

TEST(TerminalSession, PasswordIsTypedWithoutEchoAndTheMenuGoesOn) {
  if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux fehlt";
  const TemporaryDirectory scratch;
  TmuxTerminal terminal(scratch);
  ASSERT_TRUE(terminal.isRunning());
  ASSERT_TRUE(terminal.waitFor("0) Beenden"));
  terminal.type("2");
  ASSERT_TRUE(terminal.waitFor("6) SIP-Passwort: nicht gesetzt"));
  terminal.type("6");
  ASSERT_TRUE(terminal.waitFor("SIP-Passwort [nicht gesetzt]"));
  terminal.type("Blind#Geheim");
  ASSERT_TRUE(terminal.waitFor("6) SIP-Passwort: gesetzt"));
  terminal.type("1");
  ASSERT_TRUE(terminal.waitFor("SIP-Server [(leer)]"));
  terminal.type("pbx.example");
  ASSERT_TRUE(terminal.waitFor("1) SIP-Server: pbx.example"));
  EXPECT_EQ(terminal.screen().find("Blind#Geheim"), std::string::npos) << terminal.screen();
}

}  // namespace
}  // namespace qav::menu
