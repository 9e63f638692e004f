// The four settings sources as the program merges them: which configuration
// file is read, its permission rule, and the priority of the sources.
#include <filesystem>

#include "program_fixture.h"

namespace qav::test {
namespace {

namespace fs = std::filesystem;
using Sources = ProgramTest;

// The "Ziel: " line of a dry run tells which target won.
std::string listedTarget(const ProcessRun& r) {
  const std::string marker = "Ziel: ";
  const std::size_t at = r.out.find(marker);
  if (at == std::string::npos) return "<none: " + r.err + ">";
  const std::size_t end = r.out.find('\n', at);
  return r.out.substr(at + marker.size(), end - at - marker.size());
}

TEST_F(Sources, ConfigFileByOptionOrInTheWorkingDirectory) {
  writeFile("qav-cli.conf", "[device]\ntarget = 111\n", fs::perms(0644));
  writeFile("other.conf", "target = \"222\"\n", fs::perms(0644));
  EXPECT_EQ(listedTarget(run({"--dry-run"})), "111");
  EXPECT_EQ(listedTarget(run({"--dry-run", "--config", "other.conf"})), "222");

  ProcessRun missing = run({"--dry-run", "--config", "missing.conf"});
  EXPECT_EQ(missing.status, 3);
  EXPECT_EQ(missing.err, "Fehler: Konfigurationsdatei kann nicht geöffnet werden: missing.conf\n");
  EXPECT_EQ(missing.out, "");
}

TEST_F(Sources, PriorityCommandLineOverEnvironmentOverFile) {
  writeFile("qav-cli.conf", "target = 111\n", fs::perms(0644));
  EXPECT_EQ(listedTarget(run({"--dry-run"}, {{"QAV_TARGET", "333"}})), "333");
  EXPECT_EQ(listedTarget(run({"--dry-run", "--target", "444"}, {{"QAV_TARGET", "333"}})), "444");
  // An empty variable does not clear what the file set.
  EXPECT_EQ(listedTarget(run({"--dry-run"}, {{"QAV_TARGET", ""}})), "111");
}

TEST_F(Sources, PasswordFileMustNotBeReadableByOthers) {
  const std::string body = "[sip]\npassword = geheim\n[device]\ntarget = 1\n";
  for (const fs::perms mode : {fs::perms(0640), fs::perms(0604)}) {
    const fs::path file = writeFile("pw.conf", body, mode);
    ProcessRun r = run({"--dry-run", "--config", file.string()});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err,
              "Fehler: Konfigurationsdatei mit SIP-Passwort darf keine Gruppen- oder "
              "Fremdrechte besitzen: " + file.string() + "\n");
    EXPECT_EQ(r.out, "");
  }
  const fs::path privateFile = writeFile("pw.conf", body, fs::perms(0600));
  EXPECT_EQ(run({"--dry-run", "--config", privateFile.string()}).status, 0);

  // The mode of the file counts, not that of a link pointing to it.
  writeFile("open.conf", body, fs::perms(0644));
  fs::create_symlink("open.conf", dir / "link.conf");
  EXPECT_EQ(run({"--dry-run", "--config", "link.conf"}).status, 3);

  writeFile("nopw.conf", "target = 5\n", fs::perms(0644));
  EXPECT_EQ(run({"--dry-run", "--config", "nopw.conf"}).status, 0);
}

TEST_F(Sources, PasswordIsFoundForARealRunWithoutAppearingAnywhere) {
  writeFile("qav-cli.conf",
            "[sip]\nserver = 127.0.0.1\nuser = 100\npassword-env = MY_PW\n[device]\ntarget = 1\n",
            fs::perms(0644));
  // With the password from MY_PW the SIP checks pass; a dry run is enough to
  // see that no validation message about it appears.
  ProcessRun r = run({"--dry-run"}, {{"MY_PW", "s3cr3t-pw"}});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("s3cr3t-pw"), std::string::npos);
  ProcessRun missing = run({"--actions", "clock"});
  EXPECT_NE(missing.err.find("Fehler: SIP-Passwort fehlt.\n"), std::string::npos);
}

TEST_F(Sources, BadConfigFilesEndWithAClearError) {
  fs::create_directory(dir / "adir");
  ProcessRun directory = run({"--dry-run", "--config", "adir"});
  EXPECT_EQ(directory.status, 3);
  EXPECT_EQ(directory.err.rfind("Fehler: ", 0), 0u);

  writeFile("empty.conf", "", fs::perms(0644));
  EXPECT_EQ(listedTarget(run({"--dry-run", "--config", "empty.conf", "--target", "7"})), "7");

  writeFile("bad.conf", "# ok\n\n[sip]\nserver = x\njust text\n", fs::perms(0644));
  ProcessRun bad = run({"--dry-run", "--config", "bad.conf", "--target", "7"});
  EXPECT_EQ(bad.status, 3);
  EXPECT_EQ(bad.err, "Fehler: bad.conf:5: '=' fehlt\n");

  writeFile("bytes.conf", "target = \xff\xfe\x01\n", fs::perms(0644));
  ProcessRun bytes = run({"--dry-run", "--config", "bytes.conf"});
  EXPECT_EQ(bytes.status, 0);
  EXPECT_NE(bytes.out.find("Ziel: \xff\xfe\x01\n"), std::string::npos);

  writeFile("long.conf", "retries = " + std::string(5000, '9') + "\n", fs::perms(0644));
  ProcessRun huge = run({"--dry-run", "--config", "long.conf", "--target", "1"});
  EXPECT_EQ(huge.status, 3);
  EXPECT_EQ(huge.err, "Fehler: Ungültiger Zahlenwert für retries: " + std::string(5000, '9') +
                          "\n");
}

// A misspelt key would leave its setting at the default without a word; the
// file and line are named, and the run goes on as before.
TEST_F(Sources, UnknownConfigKeysAreNamedWithTheirLine) {
  writeFile("keys.conf", "# lift 4\n[device]\ntarget = 1\nrutine-days = 5\n[sip]\nservr = x\n",
            fs::perms(0644));
  ProcessRun r = run({"--dry-run", "--config", "keys.conf"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.substr(0, r.out.find("[i] Befehlssatz")),
            "[i] Unbekannter Schlüssel „rutine-days“ in keys.conf, Zeile 4 – wird ignoriert\n"
            "[i] Unbekannter Schlüssel „sip-servr“ in keys.conf, Zeile 6 – wird ignoriert\n");

  ProcessRun json = run({"--dry-run", "--json", "--config", "keys.conf"});
  EXPECT_EQ(json.out.substr(0, json.out.find('\n')),
            R"({"level":"info","event":"config","message":"Unbekannter Schlüssel „rutine-days“ )"
            R"(in keys.conf, Zeile 4 – wird ignoriert"})");

  // Invalid settings still end with their findings alone.
  ProcessRun invalid = run({"--dry-run", "--config", "keys.conf", "--target", ""});
  EXPECT_EQ(invalid.status, 2);
  EXPECT_EQ(invalid.out, "");
  EXPECT_EQ(invalid.err, "Fehler: Zielrufnummer fehlt.\nMit --help werden alle Optionen angezeigt.\n");
}

// A newline or an escape sequence inside a value must not split an error
// line or reach the terminal: every source, every kind of error line.
TEST_F(Sources, ControlBytesInAnySourceGiveOneEscapedErrorLine) {
  const std::string hint = "Mit --help werden alle Optionen angezeigt.\n";
  writeFile("actions.conf", "target = 1\nactions = clo\rck\x1b[2J\n", fs::perms(0644));
  writeFile("port.conf", "sip-port = 5\x1b" "060\n", fs::perms(0644));
  struct Case {
    ProcessRun run;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {run({"--dry-run", "--target", "1", "--actions", "clock,fo\no"}), 2,
       "Fehler: Unbekannte #*-Aktion: fo\\no\n" + hint},
      {run({"--dry-run", "--target", "1", "--sip-port", "50\n60"}), 3,
       "Fehler: Ungültiger Zahlenwert für sip-port: 50\\n60\n"},
      {run({"--dry-\x1b[31mrun"}), 3, "Fehler: Unbekannte Option: --dry-[31mrun\n"},
      {run({"--dry-run", "--target", "1"}, {{"QAV_ACTIONS", "a\tb\nc"}}), 2,
       "Fehler: Unbekannte #*-Aktion: a\\tb\\nc\n" + hint},
      {run({"--dry-run", "--target", "1"}, {{"QAV_SIP_PORT", "\x1b]0;x\a1"}}), 3,
       "Fehler: Ungültiger Zahlenwert für sip-port: ]0;x1\n"},
      {run({"--dry-run", "--config", "actions.conf"}), 2,
       "Fehler: Unbekannte #*-Aktion: clo\\rck[2J\n" + hint},
      {run({"--dry-run", "--target", "1", "--config", "port.conf"}), 3,
       "Fehler: Ungültiger Zahlenwert für sip-port: 5060\n"},
      {run({"--dry-run", "--config", "no\nsuch.conf"}), 3,
       "Fehler: Konfigurationsdatei kann nicht geöffnet werden: no\\nsuch.conf\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.run.status, c.status) << c.err;
    EXPECT_EQ(c.run.err, c.err);
    EXPECT_EQ(c.run.out, "");
  }
}

}  // namespace
}  // namespace qav::test
