// Started without arguments, qav-cli becomes qav-menu: from PATH first, then
// the one beside its own file, else an error line and status 3.
#include <filesystem>

#include "program_fixture.h"
#include "programming_call.h"

namespace qav::test {
namespace {

namespace fs = std::filesystem;
using MenuHandover = ProgramTest;

TEST_F(MenuHandover, SearchPathFirstThenBesideTheProgramElseError) {
  fs::create_directories(dir / "bin");
  fs::create_directories(dir / "path");
  fs::copy_file(testing::cliProgram(), dir / "bin" / "qav-cli");
  fs::permissions(dir / "bin" / "qav-cli", fs::perms(0755));
  writeFile("bin/qav-menu", "#!/bin/sh\necho \"beside $# $0\"\n", fs::perms(0755));
  writeFile("path/qav-menu", "#!/bin/sh\necho \"path $# $0\"\n", fs::perms(0755));

  Command c = call({}, {});
  c.argv = {(dir / "bin" / "qav-cli").string()};

  (*c.env)["PATH"] = (dir / "path").string() + ":/usr/bin:/bin";
  ProcessRun fromPath = runProgram(c);
  EXPECT_EQ(fromPath.status, 0);
  EXPECT_EQ(fromPath.out.rfind("path 0 ", 0), 0u) << fromPath.out << fromPath.err;

  (*c.env)["PATH"] = "/usr/bin:/bin";
  ProcessRun beside = runProgram(c);
  EXPECT_EQ(beside.status, 0);
  EXPECT_EQ(beside.out, "beside 0 " + (dir / "bin" / "qav-menu").string() + "\n");

  fs::remove(dir / "bin" / "qav-menu");
  ProcessRun none = runProgram(c);
  EXPECT_EQ(none.status, 3);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "Fehler: qav-menu konnte nicht gestartet werden: No such file or directory\n");
}

TEST_F(MenuHandover, AnyArgumentDisablesIt) {
  writeFile("qav-menu", "#!/bin/sh\necho menu\n", fs::perms(0755));
  Command c = call({"--bogus"}, {{"PATH", dir.string()}});
  ProcessRun r = runProgram(c);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "Fehler: Unbekannte Option: --bogus\n");
}

}  // namespace
}  // namespace qav::test
