// qav-menu on a real terminal against the test PBX and qav-sim: a guided
// programming run typed key by key, then the settings saved from the menu
// and read back by qav-cli.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "menu_test_support.h"
#include "programming_call.h"
#include "temporary_directory.h"
#include "test_pbx.h"

namespace qav::menu {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using qav::testing::TemporaryDirectory;

std::string quoted(const std::string& text) { return "'" + text + "'"; }

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

// A tmux server on a socket name of this test only, with qav-menu as the one
// pane. Waits only stop a hung menu; they measure no speed.
class MenuTerminal {
 public:
  MenuTerminal(const TemporaryDirectory& scratch, const std::string& menuPath)
      : scratch(scratch),
        socket("qav-menu-net-" + std::to_string(::getpid()) + "-" +
               std::filesystem::path(scratch.path()).filename().string()) {
    const std::string dir = scratch.path();
    const std::string start = "cd " + quoted(dir) + " && env -i PATH=/usr/bin:/bin HOME=" +
                              quoted(dir) + " TERM=xterm LANG=C.UTF-8 " + quoted(menuPath);
    started = tmux("new-session -d -x 120 -y 40 " + quoted(start)) == 0;
    if (started) {
      tmux("display-message -p '#{socket_path}' > " + quoted(scratch.path("socket")));
      socketPath = test::fileText(scratch.path("socket"));
      while (!socketPath.empty() && socketPath.back() == '\n') socketPath.pop_back();
    }
  }
  // The server leaves its socket behind when it is killed.
  ~MenuTerminal() {
    tmux("kill-server");
    if (!socketPath.empty()) ::unlink(socketPath.c_str());
  }
  MenuTerminal(const MenuTerminal&) = delete;
  MenuTerminal& operator=(const MenuTerminal&) = delete;

  bool isRunning() const { return started; }

  // The whole scrollback, wrapped lines joined.
  std::string screen() const {
    const std::string file = scratch.path("screen");
    tmux("capture-pane -p -J -S - > " + quoted(file));
    return test::fileText(file);
  }

  bool waitFor(const std::string& text, std::size_t count = 1,
               std::chrono::seconds limit = 30s) const {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
      if (occurrences(screen(), text) >= count) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }

  // Types one line and waits for `expected` to show once more than before;
  // screens repeat, so an earlier copy of the text proves nothing.
  bool answer(const std::string& keys, const std::string& expected,
              std::chrono::seconds limit = 30s) {
    const std::size_t before = occurrences(screen(), expected);
    if (keys.empty())
      tmux("send-keys Enter");
    else
      tmux("send-keys -l " + quoted(keys) + " \\; send-keys Enter");
    return waitFor(expected, before + 1, limit);
  }

 private:
  int tmux(const std::string& arguments) const {
    return std::system(
        ("tmux -L " + quoted(socket) + " -u -f /dev/null " + arguments + " 2>/dev/null").c_str());
  }

  const TemporaryDirectory& scratch;
  std::string socket;
  std::string socketPath;
  bool started = false;
};

// The lines of a plan listing that name the target and the actions, without
// the steps whose digits move with the clock.
std::set<std::string> targetAndActions(const std::string& listing) {
  static const std::regex heading(R"(^\[i\] (Ziel: .*|\S.* \[[a-z0-9-]+\])$)");
  std::set<std::string> found;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (std::regex_match(line, heading)) found.insert(line);
  }
  return found;
}

// The number the checklist gives an action, from its line on the screen.
std::string checklistNumber(const std::string& screen, const std::string& action) {
  std::smatch match;
  const std::regex line(R"((\d+)\) \[x\] [^\n]*\()" + action + R"(\))");
  return std::regex_search(screen, match, line) ? match[1].str() : "";
}

// The groups of the last match of pattern in text, none when it is absent.
std::vector<std::string> lastMatch(const std::string& text, const std::string& pattern) {
  std::vector<std::string> groups;
  const std::regex expression(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), expression);
       it != std::sregex_iterator(); ++it) {
    groups.clear();
    for (std::size_t i = 1; i < it->size(); ++i) groups.push_back((*it)[i].str());
  }
  return groups;
}

TEST(GuidedRun, ProgramsTheSimulatorAndTheSavedFileReadsBackInQavCli) {
  if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux fehlt";
  const TemporaryDirectory scratch;
  const testing::TestPbx pbx;
  const std::string state = scratch.path("qav-state.json");
  testing::Process simulator(testing::simulatorCommand("127.0.0.1:" + std::to_string(pbx.udpPort()), state));
  ASSERT_TRUE(simulator.waitFor("registered", 10s)) << "qav-sim did not register";

  MenuTerminal menu(scratch, QAV_MENU_PATH);
  ASSERT_TRUE(menu.isRunning());
  ASSERT_TRUE(menu.waitFor("0) Beenden"));

  // Short digit timings, so that the call takes seconds rather than minutes.
  ASSERT_TRUE(menu.answer("4", "0) Zur"));
  ASSERT_TRUE(menu.answer("2", "Pause nach jeder QAV-Antwort (ms) ["));
  ASSERT_TRUE(menu.answer("100", "0) Zur"));
  ASSERT_TRUE(menu.answer("3", "DTMF-Tonl"));
  ASSERT_TRUE(menu.answer("80", "0) Zur"));
  ASSERT_TRUE(menu.answer("4", "DTMF-Pause (ms) ["));
  ASSERT_TRUE(menu.answer("80", "4) DTMF-Pause (ms): 80"));
  ASSERT_TRUE(menu.answer("0", "0) Beenden"));

  // Step 1: the QAV.
  ASSERT_TRUE(menu.answer("1", "QAV-Rufnummer ["));
  ASSERT_TRUE(menu.answer("qav", "Aktuelle Kabine ["));
  ASSERT_TRUE(menu.answer("0", "Aktuelle QAV-PIN ["));
  ASSERT_TRUE(menu.answer("5831", "0: fertig")) << menu.screen();

  // Step 2: clock and routine call are on from the start; the routine call
  // gets values of its own.
  const std::string checklist = menu.screen();
  ASSERT_NE(checklistNumber(checklist, "clock"), "") << checklist;
  const std::string routine = checklistNumber(checklist, "routine");
  ASSERT_NE(routine, "") << checklist;
  ASSERT_TRUE(menu.answer("w " + routine, "Routinerufzeit ["));
  ASSERT_TRUE(menu.answer("07:30", "Routinerufintervall (Tage) ["));
  ASSERT_TRUE(menu.answer("12", "0: fertig")) << menu.screen();
  EXPECT_NE(menu.screen().find("Routinerufzeit: 07:30; Routinerufintervall (Tage): 12"),
            std::string::npos)
      << menu.screen();

  // Step 3: the SIP account, the password at the prompt without echo.
  ASSERT_TRUE(menu.answer("0", "6) SIP-Passwort: nicht gesetzt")) << menu.screen();
  ASSERT_TRUE(menu.answer("1", "SIP-Server ["));
  ASSERT_TRUE(menu.answer("127.0.0.1", "1) SIP-Server: 127.0.0.1"));
  ASSERT_TRUE(menu.answer("2", "SIP-Port ["));
  const std::string port = std::to_string(pbx.udpPort());
  ASSERT_TRUE(menu.answer(port, "2) SIP-Port: " + port));
  ASSERT_TRUE(menu.answer("4", "SIP-Benutzer/Nebenstelle ["));
  ASSERT_TRUE(menu.answer("tester", "4) SIP-Benutzer/Nebenstelle: tester"));
  ASSERT_TRUE(menu.answer("6", "SIP-Passwort [nicht gesetzt]"));
  ASSERT_TRUE(menu.answer("tester-secret", "6) SIP-Passwort: gesetzt")) << menu.screen();

  // Step 4: preview, then the call.
  ASSERT_TRUE(menu.answer("0", "Jetzt anrufen und programmieren? (j/n)")) << menu.screen();
  const std::string preview = menu.screen();
  EXPECT_NE(preview.find("Der Plan umfasst 2 Aktionen"), std::string::npos) << preview;
  ASSERT_TRUE(menu.answer("j", "Programmiert: ", 240s)) << menu.screen();
  const std::string run = menu.screen();
  EXPECT_NE(run.find("[✓] Programmierung erfolgreich: das QAV hat alles bestätigt.\n"
                     "Programmiert: Uhrzeit und Datum, Routineruf\n"),
            std::string::npos)
      << run;
  EXPECT_EQ(run.find("tester-secret"), std::string::npos) << run;

  // What the device now holds, once it has ended after its one call.
  EXPECT_EQ(simulator.finish(30s), 0);
  const json held = testing::readDeviceState(state);
  ASSERT_TRUE(held.is_object()) << "no readable state file";
  EXPECT_EQ(held.value("routine-time", ""), "0730");
  EXPECT_EQ(held.value("routine-days", ""), "12");
  EXPECT_EQ(held.value("routine-frequency", ""), "4");
  // The clock as the call's own lines set it; the preview above them may be
  // a minute older.
  const std::vector<std::string> date = lastMatch(run, R"(Datum auf (\d\d)\.(\d\d)\.(\d{4}))");
  ASSERT_EQ(date.size(), 3u) << run;
  EXPECT_EQ(held.value("clock-date", ""), date[0] + date[1] + date[2]);
  const std::vector<std::string> time = lastMatch(run, R"(Uhrzeit auf (\d\d):(\d\d) Uhr)");
  ASSERT_EQ(time.size(), 2u) << run;
  EXPECT_EQ(held.value("clock-time", ""), time[0] + time[1]);

  // qav-cli unregisters after the call; give the PBX a moment to note it.
  bool tester = pbx.hasLocation("tester");
  for (int i = 0; tester && i < 100; ++i) {
    std::this_thread::sleep_for(100ms);
    tester = pbx.hasLocation("tester");
  }
  EXPECT_FALSE(tester) << pbx.locations();

  // Saved without the password, and qav-cli reads the same job from it.
  const std::string saved = scratch.path("saved.conf");
  ASSERT_TRUE(menu.answer("7", "Speichern unter ["));
  ASSERT_TRUE(menu.answer(saved, "SIP-Passwort mit speichern? (j/n)"));
  ASSERT_TRUE(menu.answer("n", "0) Beenden")) << menu.screen();
  EXPECT_NE(menu.screen().find("qav-cli liest die Datei unverändert zurück."), std::string::npos)
      << menu.screen();
  EXPECT_EQ(test::fileText(saved).find("tester-secret"), std::string::npos);
  EXPECT_EQ(menu.screen().find("tester-secret"), std::string::npos);

  // Standard output and error together, in an environment of PATH alone.
  const testing::ProcessRun readBack =
      testing::runToEnd({{testing::cliProgram(), "--config", saved, "--dry-run"},
                         std::map<std::string, std::string>{{"PATH", "/usr/bin:/bin"}},
                         "",
                         testing::Streams::Merged},
                        60s);
  EXPECT_EQ(readBack.status, 0) << readBack.out;
  const std::set<std::string> expected{"[i] Ziel: qav", "[i] Uhrzeit und Datum [clock]",
                                       "[i] Routineruf [routine]"};
  EXPECT_EQ(targetAndActions(readBack.out), expected) << readBack.out;
  EXPECT_EQ(targetAndActions(preview), expected) << preview;
  EXPECT_NE(readBack.out.find("Routinezeit auf 07:30 Uhr"), std::string::npos);
  EXPECT_NE(readBack.out.find("freies Intervall auf 12 Tage"), std::string::npos);
}

}  // namespace
}  // namespace qav::menu
