// The permission rule of a configuration file that holds the SIP password,
// through symbolic links: the mode of the file finally reached counts, for
// a chain of links as for one, and anew on every run when a link is turned.
#include <filesystem>

#include "program_fixture.h"

namespace qav::test {
namespace {

namespace fs = std::filesystem;
using LinkedConfig = ProgramTest;

const std::string passwordFile = "[sip]\npassword = geheim\n[device]\ntarget = 1\n";

std::string refusal(const std::string& path) {
  return "Fehler: Konfigurationsdatei mit SIP-Passwort darf keine Gruppen- oder Fremdrechte besitzen: " + path +
         "\n";
}

TEST_F(LinkedConfig, ALinkOrChainToAnOpenPasswordFileIsRefusedUnderTheLinksName) {
  for (const fs::perms mode : {fs::perms(0640), fs::perms(0604), fs::perms(0610)}) {
    writeFile("open.conf", passwordFile, mode);
    fs::remove(dir / "link.conf");
    fs::remove(dir / "middle.conf");
    fs::remove(dir / "outer.conf");
    fs::create_symlink(dir / "open.conf", dir / "link.conf");
    fs::create_symlink("open.conf", dir / "middle.conf");
    fs::create_symlink("middle.conf", dir / "outer.conf");
    for (const std::string path : {"link.conf", "outer.conf"}) {
      SCOPED_TRACE(path);
      const ProcessRun r = run({"--dry-run", "--config", path});
      EXPECT_EQ(r.status, 3);
      EXPECT_EQ(r.err, refusal(path));
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err.find("geheim"), std::string::npos);
    }
  }
}

TEST_F(LinkedConfig, ALinkOrChainToAPrivatePasswordFileIsAccepted) {
  writeFile("private.conf", passwordFile, fs::perms(0600));
  fs::create_symlink("private.conf", dir / "middle.conf");
  fs::create_symlink("middle.conf", dir / "outer.conf");
  // The link's own mode is 0777 on Linux; it must not count.
  EXPECT_EQ(fs::symlink_status(dir / "outer.conf").permissions(), fs::perms::all);
  const ProcessRun r = run({"--dry-run", "--config", "outer.conf"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("geheim"), std::string::npos);
}

TEST_F(LinkedConfig, ALinkTurnedToAnotherFileIsJudgedByItsNewTarget) {
  writeFile("private.conf", passwordFile, fs::perms(0600));
  writeFile("open.conf", passwordFile, fs::perms(0644));
  fs::create_symlink("private.conf", dir / "qav-cli.conf");
  EXPECT_EQ(run({"--dry-run"}).status, 0);

  fs::remove(dir / "qav-cli.conf");
  fs::create_symlink("open.conf", dir / "qav-cli.conf");
  const ProcessRun turned = run({"--dry-run"});
  EXPECT_EQ(turned.status, 3);
  EXPECT_EQ(turned.err, refusal("qav-cli.conf"));

  // The same file, its mode opened after an accepted run.
  fs::permissions(dir / "private.conf", fs::perms(0660));
  EXPECT_EQ(run({"--dry-run", "--config", "private.conf"}).err, refusal("private.conf"));
}

TEST_F(LinkedConfig, ADanglingOrLoopingLinkCannotBeOpened) {
  fs::create_symlink("gone.conf", dir / "dangling.conf");
  fs::create_symlink("loop-b.conf", dir / "loop-a.conf");
  fs::create_symlink("loop-a.conf", dir / "loop-b.conf");
  for (const std::string path : {"dangling.conf", "loop-a.conf"}) {
    const ProcessRun r = run({"--dry-run", "--config", path, "--target", "1"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "Fehler: Konfigurationsdatei kann nicht geöffnet werden: " + path + "\n");
  }
}

}  // namespace
}  // namespace qav::test
