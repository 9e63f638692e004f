// What a technician or a supervising program sees of qav-cli: standard
// output, standard error and exit status, byte for byte.
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "cli_events.h"
#include "program_fixture.h"
#include "settings/command_line.h"

namespace qav::test {
namespace {

using Cli = ProgramTest;

const char* const workedExample =
    "[i] Befehlssatz: #* (Z208)\n"
    "[i] Ziel: 0123\n"
    "[i] Uhrzeit und Datum [clock]\n"
    "[i]   Einstellung Uhrzeit und Datum initialisieren: #*20 → einfacher Bestätigungston\n"
    "[i]   Parameter Uhrzeit auf 09:41 Uhr setzen: 0941 → einfacher Bestätigungston\n"
    "[i]   Parameter Datum auf 07.12.2026 setzen: 07122026 → doppelter Bestätigungston\n"
    "[i] Routineruf [routine]\n"
    "[i]   Einstellung Routineruf initialisieren: #*21 → einfacher Bestätigungston\n"
    "[i]   Parameter Routinezeit auf 09:46 Uhr setzen: 0946 → einfacher Bestätigungston\n"
    "[i]   Parameter Frequenz auf „freies Tagesintervall“ setzen: 4 → einfacher "
    "Bestätigungston\n"
    "[i]   Parameter freies Intervall auf 3 Tage setzen: 03 → doppelter Bestätigungston\n"
    "[✓] Konfiguration und Befehlsplan sind gültig; kein Anruf ausgeführt.\n";

TEST_F(Cli, HelpAndVersion) {
  ProcessRun help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, helpText());
  EXPECT_EQ(help.err, "");

  EXPECT_EQ(run({"-h", "--version"}).out, helpText());
  // Values are only read after help has been answered.
  EXPECT_EQ(run({"--cabin", "99", "-h"}).status, 0);

  ProcessRun version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "qav-cli 0.1.2\n");
  EXPECT_EQ(version.err, "");
}

TEST_F(Cli, ErrorsGoOnlyToStandardErrorWithStatusThree) {
  struct Case {
    std::initializer_list<std::string> args;
    const char* err;
  };
  const Case cases[] = {
      {{"--help", "--nonsense"}, "Fehler: Unbekannte Option: --nonsense\n"},
      {{"--target"}, "Fehler: Wert fehlt für --target\n"},
      {{"target"}, "Fehler: Unbekanntes Argument: target\n"},
      {{"--json=1"}, "Fehler: Unbekannte Option: --json\n"},
      {{"--"}, "Fehler: Unbekannte Option: --\n"},
      {{"--dry-run", "--target", "1", "--sip-port", "65536"},
       "Fehler: Ungültiger Zahlenwert für sip-port: 65536\n"},
      {{"--dry-run", "--target", "1", "--color", "bunt"},
       "Fehler: color muss auto, always oder never sein\n"},
      // Validation looks at routine-at only for the routine action; the plan
      // refuses the shape for every plan, before any listing line.
      {{"--dry-run", "--target", "1", "--actions", "clock", "--routine-at", "7:30"},
       "Fehler: routine-at muss HH:MM oder auto sein\n"},
      {{"--dry-run", "--json", "--target", "1", "--actions", "clock", "--routine-at", "AUTO"},
       "Fehler: routine-at muss HH:MM oder auto sein\n"},
  };
  for (const Case& c : cases) {
    ProcessRun r = run(c.args);
    EXPECT_EQ(r.status, 3) << c.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(Cli, ValidationListsEveryFindingThenTheHint) {
  ProcessRun r = run({"--target", "0123", "--pin", "12a4", "--actions", "clock,Foo"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "Fehler: SIP-Server fehlt.\n"
            "Fehler: SIP-Benutzer/Nebenstelle fehlt.\n"
            "Fehler: SIP-Passwort fehlt.\n"
            "Fehler: QAV-PIN muss vierstellig sein.\n"
            "Fehler: Unbekannte #*-Aktion: Foo\n"
            "Mit --help werden alle Optionen angezeigt.\n");

  // A dry run needs no SIP account, but still a target.
  ProcessRun dry = run({"--dry-run"});
  EXPECT_EQ(dry.status, 2);
  EXPECT_EQ(dry.err, "Fehler: Zielrufnummer fehlt.\nMit --help werden alle Optionen angezeigt.\n");
}

TEST_F(Cli, DryRunListsTheWorkedExample) {
  ProcessRun r = runAt("2026-12-07 09:41:15", {"--dry-run", "--target", "0123"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, workedExample);
}

TEST_F(Cli, PlanTimesAreLocalToTheProcessTimeZone) {
  ProcessRun r = runAt("2026-12-07 08:41:15 UTC", {"--dry-run", "--target", "0123"},
                          {{"TZ", "Europe/Berlin"}});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, workedExample);
}

TEST_F(Cli, JsonDryRunIsOneObjectPerLineAndNeverColoured) {
  ProcessRun r = runAt("2026-12-07 09:41:15",
                          {"--dry-run", "--json", "--color", "always", "--target", "0123"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  std::istringstream lines(r.out);
  std::string line;
  std::vector<std::string> events;
  while (std::getline(lines, line)) {
    const std::optional<testing::CliEvent> event = testing::eventOf(line);
    ASSERT_TRUE(event) << line;
    events.push_back(event->level + "/" + event->event);
  }
  ASSERT_EQ(events.size(), 12u);
  EXPECT_EQ(events[0], "info/plan");
  EXPECT_EQ(events[2], "info/action");
  EXPECT_EQ(events[3], "info/segment");
  EXPECT_EQ(events[11], "success/dry-run");
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
            R"x({"level":"info","event":"plan","message":"Befehlssatz: #* (Z208)"})x");
}

TEST_F(Cli, ColourModes) {
  const std::string coloured = "\x1b[36m[i]\x1b[0m Befehlssatz: #* (Z208)";
  EXPECT_NE(run({"--dry-run", "--target", "1", "--color", "always"}).out.find(coloured),
            std::string::npos);
  EXPECT_EQ(run({"--dry-run", "--target", "1", "--color", "never"}).out.find('\x1b'),
            std::string::npos);
  EXPECT_EQ(run({"--dry-run", "--target", "1"}).out.find('\x1b'), std::string::npos);

  ProcessRun terminal = runOnTerminal({"--dry-run", "--target", "1"});
  EXPECT_EQ(terminal.status, 0);
  EXPECT_NE(terminal.out.find(coloured), std::string::npos) << terminal.out;
  ProcessRun jsonTerminal = runOnTerminal({"--dry-run", "--json", "--target", "1"});
  EXPECT_EQ(jsonTerminal.out.find('\x1b'), std::string::npos);
}

TEST_F(Cli, RealRunEndsWithAnErrorLineNotWithSuccess) {
  // Nothing answers on this port: the run must fail, never report success.
  ProcessRun r = run({"--target", "0123", "--sip-server", "127.0.0.1", "--sip-port", "9",
                         "--sip-user", "u", "--sip-password", "p", "--json"},
                        {});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err.rfind("Fehler: ", 0), 0u) << r.err;
  EXPECT_EQ(r.out.find("\"complete\""), std::string::npos);
}

// A report path that cannot take the report ends the run before the
// registration and leaves nothing behind. Root may write anywhere: the
// permission case runs as nobody then.
TEST_F(Cli, ReportPathThatCannotTakeTheReportIsRefusedBeforeTheCall) {
  namespace fs = std::filesystem;
  fs::create_directory(dir / "offen");
  fs::permissions(dir, fs::perms(0711));
  fs::permissions(dir / "offen", fs::perms(0777));
  const std::string locked = writeFile("offen/gesperrt.json", "{}", fs::perms(0444)).string();
  const std::vector<std::string> asNobody =
      ::geteuid() == 0 ? std::vector<std::string>{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                                  "--clear-groups"}
                       : std::vector<std::string>{};
  struct Case {
    std::string path;
    std::vector<std::string> launcher;
    std::string reason;
  };
  const Case cases[] = {
      {(dir / "offen").string(), {}, "ist ein Ordner"},
      {(dir / "fehlt" / "bericht.json").string(), {}, "Ordner existiert nicht"},
      {locked, asNobody, "keine Schreibberechtigung"},
      {"/dev/null", {}, "keine reguläre Datei"},
  };
  for (const Case& c : cases) {
    Command command = call({"--target", "0123", "--sip-server", "127.0.0.1", "--sip-port", "9",
                            "--sip-user", "u", "--sip-password", "p", "--report", c.path},
                           {});
    command.argv.insert(command.argv.begin(), c.launcher.begin(), c.launcher.end());
    const ProcessRun r = runProgram(command);
    EXPECT_EQ(r.status, 3) << c.path;
    EXPECT_EQ(r.err, "Fehler: Berichtsdatei kann nicht geschrieben werden: " + c.path + ": " +
                         c.reason + "\n");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "offen"), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace qav::test
