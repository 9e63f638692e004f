#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "menu_test_support.h"
#include "temporary_directory.h"

namespace qav::menu {
namespace {

using qav::testing::TemporaryDirectory;

std::string quoted(const std::string& text) { return "'" + text + "'"; }

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

// qav-menu on a real terminal: a tmux server on a socket of this test only.
class TmuxTerminal {
 public:
  explicit TmuxTerminal(const TemporaryDirectory& scratch) : scratch(scratch) {
    socket = scratch.path("tmux.sock");
    // The pane stays after the menu ends, to show how it ended.
    const std::string start = "cd " + quoted(scratch.path()) +
                              " && env -i PATH=/usr/bin:/bin TERM=xterm " + quoted(QAV_MENU_PATH) +
                              "; echo menu-status=$?; sleep 60";
    started = tmux("new-session -d -x 160 -y 50 " + quoted(start)) == 0;
  }
  ~TmuxTerminal() { tmux("kill-server"); }
  TmuxTerminal(const TmuxTerminal&) = delete;
  TmuxTerminal& operator=(const TmuxTerminal&) = delete;

  bool isRunning() const { return started; }

  void type(const std::string& keys) {
    tmux("send-keys -l " + quoted(keys) + " \\; send-keys Enter");
  }

  // A key by its tmux name, such as C-c.
  void press(const std::string& key) { tmux("send-keys " + key); }

  std::string screen() const {
    const std::string file = scratch.path("screen");
    tmux("capture-pane -p -S -200 > " + quoted(file));
    return test::fileText(file);
  }

  // Waits for text to show `count` times; the limit only stops a hung menu,
  // it is no measure of speed.
  bool waitFor(const std::string& text, std::size_t count = 1) const {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < limit) {
      if (occurrences(screen(), text) >= count) return true;
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

// A wrong value asked again, going back a step, Ctrl-C at a prompt (the
// password's too: echo comes back), and quitting with unsaved settings.
TEST(TerminalSession, WrongValueBackCtrlCAndQuittingWithUnsavedSettings) {
  if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux fehlt";
  const TemporaryDirectory scratch;
  TmuxTerminal terminal(scratch);
  ASSERT_TRUE(terminal.isRunning());
  ASSERT_TRUE(terminal.waitFor("0) Beenden"));

  terminal.type("1");
  ASSERT_TRUE(terminal.waitFor("QAV-Rufnummer [(leer)]"));
  terminal.type("");
  ASSERT_TRUE(terminal.waitFor("Fehler: Zielrufnummer fehlt.")) << terminal.screen();
  ASSERT_TRUE(terminal.waitFor("QAV-Rufnummer [(leer)]", 2)) << terminal.screen();
  terminal.type("0123");
  ASSERT_TRUE(terminal.waitFor("Aktuelle Kabine [0]"));
  terminal.type("12");
  ASSERT_TRUE(terminal.waitFor("Aktuelle Kabine [0]", 2)) << terminal.screen();
  terminal.type("<");
  ASSERT_TRUE(terminal.waitFor("QAV-Rufnummer [0123]")) << terminal.screen();
  terminal.press("C-c");
  ASSERT_TRUE(terminal.waitFor("Abgebrochen – zurück zum Hauptmenü.")) << terminal.screen();
  ASSERT_TRUE(terminal.waitFor("Hauptmenü – QAV 0123", 1)) << terminal.screen();

  terminal.type("2");
  ASSERT_TRUE(terminal.waitFor("6) SIP-Passwort: nicht gesetzt"));
  terminal.type("6");
  ASSERT_TRUE(terminal.waitFor("SIP-Passwort [nicht gesetzt]"));
  terminal.press("C-c");
  ASSERT_TRUE(terminal.waitFor("Abgebrochen – zurück zum Hauptmenü.", 2)) << terminal.screen();
  terminal.type("4");  // echoed again after the password prompt
  ASSERT_TRUE(terminal.waitFor("Auswahl: 4")) << terminal.screen();
  ASSERT_TRUE(terminal.waitFor("0) Zurück"));
  terminal.type("0");

  terminal.press("C-c");
  ASSERT_TRUE(terminal.waitFor("qav-menu beenden? (j/n)")) << terminal.screen();
  terminal.type("n");
  ASSERT_TRUE(terminal.waitFor("Hauptmenü – QAV 0123", 4)) << terminal.screen();
  terminal.type("0");
  ASSERT_TRUE(terminal.waitFor("Die Einstellungen sind nicht gespeichert.")) << terminal.screen();
  terminal.type("s");
  ASSERT_TRUE(terminal.waitFor("Speichern unter [qav-cli.conf]"));
  terminal.type("");
  ASSERT_TRUE(terminal.waitFor("menu-status=0")) << terminal.screen();
  EXPECT_NE(terminal.screen().find("qav-menu beendet."), std::string::npos);
  EXPECT_NE(test::fileText(scratch.path("qav-cli.conf")).find("target = 0123"), std::string::npos);
}

}  // namespace
}  // namespace qav::menu
