#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "menu_test_support.h"
#include "temporary_directory.h"
#include "settings/config_file.h"
#include "settings/setting_values.h"
#include "settings/value_check.h"

namespace qav::menu {
namespace {

using qav::testing::TemporaryDirectory;

struct Transcript {
  int status = -1;
  std::string out;
};

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// qav-menu as a technician's script drives it: answers through a pipe, in a
// working directory of its own, with no QAV_ variables around. qav-cli is
// found beside qav-menu in the build tree.
Transcript session(const TemporaryDirectory& scratch, const std::string& menu,
                   const std::vector<std::string>& answers) {
  std::string input;
  for (const std::string& answer : answers) input += answer + "\n";
  test::writeFile(scratch.path("input"), input);
  const std::string command = "cd " + quoted(scratch.path()) +
                              " && env -i PATH=/usr/bin:/bin " + quoted(menu) +
                              " < input > output 2>&1";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::fileText(scratch.path("output"))};
}

Transcript session(const TemporaryDirectory& scratch, const std::vector<std::string>& answers) {
  return session(scratch, QAV_MENU_PATH, answers);
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(MenuSession, ChooseActionsPreviewThePlanAndSaveForQavCli) {
  const TemporaryDirectory scratch;
  // clang-format off
  const Transcript run = session(scratch, {
      "3",                                      // Aktionen und Werte
      "9", "2",                                 // Wahlverfahren on, value 2
      "12", "7", "0",                           // Eingangsmodus on, refused, asked again
      "5",                                      // Routineruf off
      "0",
      "1", "0123", "", "", "0",                 // guided: number; cabin, PIN kept; checklist
      "1", "pbx.example", "4", "201", "6", "geheim!pw", "0",  // SIP account
      "n",                                      // preview shown, do not dial
      "7", "saved.conf", "j",                   // save, with the password
      "0"});
  // clang-format on
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(contains(run.out, "[✗] Fehler: Eingangs-/Filtermodus muss 0, 1 oder 2 sein."));
  EXPECT_TRUE(contains(run.out, "[i] Wahlverfahren [dial-mode]"));
  EXPECT_TRUE(contains(run.out, "[i]   Parameter Wahlverfahren auf "));
  EXPECT_TRUE(contains(run.out, "Der Plan umfasst 3 Aktionen mit 7 Schritten."));
  EXPECT_TRUE(contains(run.out, "[✓] qav-cli liest die Datei unverändert zurück."));
  EXPECT_FALSE(contains(run.out, "geheim!pw"));

  const std::string saved = scratch.path("saved.conf");
  struct stat status {};
  ASSERT_EQ(::stat(saved.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  Settings back;
  applySettingMap(back, readConfigFile(saved));
  EXPECT_EQ(back.device.target, "0123");
  EXPECT_EQ(back.device.actions, (std::vector<std::string>{"clock", "dial-mode", "input-mode"}));
  EXPECT_EQ(back.device.dialMode, "2");
  EXPECT_EQ(back.device.inputMode, "0");
  EXPECT_EQ(back.sip.password, "geheim!pw");
  EXPECT_EQ(back.sip.user, "201");
}

TEST(MenuSession, StartsFromTheLocalFileAndEndsCleanlyAtEndOfInput) {
  const TemporaryDirectory scratch;
  test::writeFile(scratch.path("qav-cli.conf"), "[qav]\ntarget = 4711\nactions = clock\n");
  const Transcript run = session(scratch, {"5", "3", "w 4"});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(contains(run.out, "Einstellungen geladen aus qav-cli.conf"));
  EXPECT_TRUE(contains(run.out, "[i] Ziel: 4711"));
  EXPECT_TRUE(contains(run.out, "Der Plan umfasst 1 Aktionen mit 3 Schritten."));
}

TEST(MenuSession, APasswordLeftOutOfTheFileLeavesNoTraceInIt) {
  const TemporaryDirectory scratch;
  const Transcript run =
      session(scratch, {"2", "6", "nur-im-kopf", "0", "7", "handed-on.conf", "n", "0"});
  EXPECT_EQ(run.status, 0) << run.out;
  const std::string text = test::fileText(scratch.path("handed-on.conf"));
  EXPECT_EQ(text.find("nur-im-kopf"), std::string::npos);
  EXPECT_TRUE(readConfigFile(scratch.path("handed-on.conf")).count("sip-password") == 0);
  EXPECT_TRUE(contains(run.out, "[✓] qav-cli liest die Datei unverändert zurück."));
}

// Each value is judged as it is typed, by qav-cli's rules, and asked for
// again with the reason and what is allowed; nothing refused is stored.
TEST(MenuSession, WrongValuesAreAskedAgainWithTheReason) {
  const TemporaryDirectory scratch;
  // clang-format off
  const Transcript run = session(scratch, {
      "1", "", "0123",           // guided: an empty number, then one
      "12", "3",                 // cabin 12, then 3
      "12", "4321",              // PIN 12, then four digits
      "<", "<", "<", "-", "<",   // back to the number: clearing it is refused too
      "2", "14", "ja", "<",      // checking the certificate needs a CA file,
      "13", "ca.pem", "14", "j", // which can be given first,
      "13", "-", "<", "0",       // and not be taken away while it is needed
      "7", "job.conf", "0"});
  // clang-format on
  EXPECT_EQ(run.status, 0) << run.out;
  const auto refused = [&](const std::string& key, const std::string& text,
                           const std::string& prompt) {
    const std::optional<std::string> reason = checkSettingValue(Settings{}, key, text);
    EXPECT_TRUE(reason.has_value()) << key << "=" << text;
    EXPECT_TRUE(contains(run.out, "[✗] Fehler: " + reason.value_or("") + "\n  Erlaubt: " +
                                      allowedValuesText(key) + "\n" + prompt))
        << key << "\n" << run.out;
  };
  refused("target", "", "QAV-Rufnummer [(leer)]");
  refused("cabin", "12", "Aktuelle Kabine [0]");
  refused("pin", "12", "Aktuelle QAV-PIN [5831]");
  refused("target", "", "QAV-Rufnummer [0123]");
  const std::string needsCa = checkSettingValue(Settings{}, "sip-tls-verify", "true").value_or("");
  EXPECT_FALSE(needsCa.empty());
  EXPECT_TRUE(contains(run.out, "[✗] Fehler: " + needsCa + "\n"));
  EXPECT_TRUE(contains(run.out, "[✗] Fehler: " + needsCa + " Zuerst"));

  Settings saved;
  applySettingMap(saved, readConfigFile(scratch.path("job.conf")));
  EXPECT_EQ(saved.device.target, "0123");
  EXPECT_EQ(saved.device.cabin, 3u);
  EXPECT_EQ(saved.device.pin, "4321");
  EXPECT_TRUE(saved.sip.tlsVerify);
  EXPECT_TRUE(saved.sip.tlsCaFile.ends_with("ca.pem")) << saved.sip.tlsCaFile;
}

// Keys a terminal sends for arrows and the like, and pasted floods, are
// neither taken as a choice nor shown raw.
TEST(MenuSession, UnknownChoicesEscapeSequencesAndLongLinesAreAskedAgain) {
  const TemporaryDirectory scratch;
  const Transcript run = session(scratch, {"42", "x", "-1", "\x1b[A", std::string(200000, '9'),
                                           "\x1b[1;5D0\x1bOP"});
  EXPECT_EQ(run.status, 0);
  size_t complaints = 0;
  for (size_t at = run.out.find("Bitte eine Nummer von 0 bis 8"); at != std::string::npos;
       at = run.out.find("Bitte eine Nummer von 0 bis 8", at + 1))
    ++complaints;
  EXPECT_EQ(complaints, 4u);
  EXPECT_TRUE(contains(run.out, "Die Eingabe ist zu lang (höchstens 1000 Zeichen)"));
  EXPECT_TRUE(contains(run.out, "qav-menu beendet."));
  EXPECT_FALSE(contains(run.out, "\x1b"));
}

// qav-menu copied beside a stand-in qav-cli that lists a recorded plan for
// the dry run and plays a recorded programming call with retries otherwise.
void installFakeCli(const TemporaryDirectory& scratch) {
  const std::string data = QAV_MENU_TEST_DATA;
  std::filesystem::copy_file(QAV_MENU_PATH, scratch.path("qav-menu"));
  test::writeFile(scratch.path("qav-cli"),
                  "#!/bin/sh\n"
                  "case \"$*\" in *--dry-run*) cat '" +
                      data +
                      "/dry_run.jsonl'; exit 0;; esac\n"
                      "printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/argv\"\n"
                      "env > \"$(dirname \"$0\")/env\"\n"
                      "cat '" +
                      data +
                      "/run_with_retries.jsonl'\n"
                      "echo 'Fehler: nur ein Test' >&2\n"
                      "exit 3\n");
  ::chmod(scratch.path("qav-cli").c_str(), 0755);
  ::chmod(scratch.path("qav-menu").c_str(), 0755);
}

TEST(MenuSession, RunAsksForTheAccountShowsEveryEventAndExplainsTheOutcome) {
  const TemporaryDirectory scratch;
  installFakeCli(scratch);
  // clang-format off
  const Transcript run = session(scratch, scratch.path("qav-menu"), {
      "1", "0123", "", "", "0",   // guided: number; cabin, PIN kept; checklist
      "0",                        // the SIP account step passed over
      "pbx", "201", "pa ss",      // asked for before the call
      "j"});                      // dial
  // clang-format on
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(contains(run.out, "Für den Anruf fehlt noch etwas am SIP-Konto:\n"
                                "[✗] SIP-Server fehlt.\n"
                                "[✗] SIP-Benutzer/Nebenstelle fehlt.\n"
                                "[✗] SIP-Passwort fehlt.\n"
                                "SIP-Server [(leer)]"))
      << run.out;
  EXPECT_FALSE(contains(run.out, "Mit --help"));
  EXPECT_TRUE(contains(run.out, "Programmierung von 0123: 3 Aktionen, 9 Schritte."));
  EXPECT_TRUE(
      contains(run.out, "[↻] Ungültige Eingabe laut QAV. Gesamte Befehlssequenz wird wiederholt."));
  EXPECT_TRUE(contains(run.out,
                       "Fortschritt: [################..............] 5/9 Schritte\n"
                       "[↻] Ungültige Eingabe laut QAV."));
  EXPECT_TRUE(contains(run.out, "[✓] Programmierung abgeschlossen\n"));
  EXPECT_TRUE(contains(run.out, "Fehler: nur ein Test\n"));
  EXPECT_TRUE(contains(run.out, "[✗] Die Programmierung ist fehlgeschlagen.\n"
                                "Ursache: Diese Fehlermeldung ist nicht bekannt.\n"));
  EXPECT_FALSE(contains(test::fileText(scratch.path("argv")), "pa ss"));
  EXPECT_TRUE(contains(test::fileText(scratch.path("env")), "QAV_MENU_PASSWORD=pa ss\n"));
  EXPECT_FALSE(contains(run.out, "pa ss"));
}

}  // namespace
}  // namespace qav::menu
