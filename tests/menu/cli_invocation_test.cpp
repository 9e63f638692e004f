#include "menu/cli_invocation.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "menu/cli_locator.h"
#include "menu/dry_run.h"
#include "menu_test_support.h"
#include "scoped_environment.h"
#include "temporary_directory.h"

namespace qav::menu {
namespace {

using qav::testing::ScopedEnvironment;
using qav::testing::TemporaryDirectory;

// A stand-in for qav-cli that records what it was given: every argument,
// its environment, the mode and text of the file after --config. It then
// answers like qav-cli, with a last error line that has no line feed.
constexpr const char* fakeCli = R"(#!/bin/sh
dir=$(dirname "$0")
for a in "$@"; do printf '%s\n' "$a"; done > "$dir/argv"
env > "$dir/env"
{ stat -c %a "$2" 2>/dev/null || stat -f %Lp "$2"; } > "$dir/mode"
cat "$2" > "$dir/config"
echo '{"level":"info","event":"plan","message":"Ziel: 0123"}'
printf 'Fehler: Anruf fehlgeschlagen' >&2
exit 3
)";

struct FakeCli {
  TemporaryDirectory scratch;
  std::string path = scratch.path("qav-cli");

  FakeCli() {
    test::writeFile(path, fakeCli);
    ::chmod(path.c_str(), 0700);
  }
  std::string recorded(const std::string& name) const { return test::fileText(scratch.path(name)); }
};

Settings withPassword(const std::string& password) {
  Settings settings;
  settings.device.target = "0123";
  settings.sip.password = password;
  return settings;
}

struct Captured {
  ChildExit exit;
  std::vector<std::string> out, err;
  std::string configPath;
};

Captured runFake(const FakeCli& fake, const Settings& settings, bool dryRun) {
  Captured captured;
  const RunConfigFile file(settings);
  captured.configPath = file.path();
  captured.exit = runChild(
      cliCall(fake.path, file.path(), settings, dryRun),
      [&](const std::string& line) { captured.out.push_back(line); },
      [&](const std::string& line) { captured.err.push_back(line); });
  return captured;
}

TEST(CliInvocation, PasswordReachesQavCliOnlyThroughItsOwnVariable) {
  const std::string password = "s3cr3t -pw";
  ScopedEnvironment environment;
  environment.set("QAV_SIP_PASSWORD", "inherited");
  environment.set("QAV_TARGET", "999");
  const FakeCli fake;
  const Captured run = runFake(fake, withPassword(password), false);

  const std::string argv = fake.recorded("argv");
  EXPECT_EQ(argv.find("s3cr3t"), std::string::npos) << argv;
  EXPECT_NE(argv.find("--sip-password-env\nQAV_MENU_PASSWORD\n"), std::string::npos) << argv;
  EXPECT_EQ(fake.recorded("config").find("s3cr3t"), std::string::npos);
  EXPECT_EQ(fake.recorded("mode"), "600\n");

  const std::string env = fake.recorded("env");
  EXPECT_NE(env.find("QAV_MENU_PASSWORD=" + password + "\n"), std::string::npos);
  // qav-cli would merge these over the menu's settings.
  EXPECT_EQ(env.find("QAV_SIP_PASSWORD="), std::string::npos);
  EXPECT_EQ(env.find("QAV_TARGET="), std::string::npos);
  EXPECT_NE(env.find("PATH="), std::string::npos);

  // The private file is gone once the call is over.
  EXPECT_FALSE(std::filesystem::exists(run.configPath));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(run.configPath).parent_path()));
}

TEST(CliInvocation, ADryRunGetsNoPasswordAtAll) {
  const FakeCli fake;
  runFake(fake, withPassword("s3cr3t"), true);
  EXPECT_EQ(fake.recorded("env").find("s3cr3t"), std::string::npos);
  EXPECT_NE(fake.recorded("argv").find("--dry-run\n"), std::string::npos);
}

TEST(CliInvocation, OutputErrorLinesAndExitStatusComeBack) {
  const FakeCli fake;
  const Captured run = runFake(fake, withPassword(""), false);
  EXPECT_EQ(run.out,
            std::vector<std::string>{R"({"level":"info","event":"plan","message":"Ziel: 0123"})"});
  EXPECT_EQ(run.err, std::vector<std::string>{"Fehler: Anruf fehlgeschlagen"});
  EXPECT_TRUE(run.exit.exited);
  EXPECT_EQ(run.exit.code, 3);
}

TEST(CliInvocation, AMissingProgramIsReportedNotSilent) {
  const TemporaryDirectory scratch;
  std::vector<std::string> errors;
  const ChildExit exit = runChild(
      {scratch.path("nothing-here"), {}, {}}, [](const std::string&) {},
      [&](const std::string& line) { errors.push_back(line); });
  EXPECT_EQ(exit.code, 127);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].starts_with("Fehler: qav-cli konnte nicht gestartet werden: "));
}

TEST(CliInvocation, RealQavCliAcceptsTheCallAndReportsItsOwnMessages) {
  Settings settings;
  settings.device.target = "0123";
  settings.device.actions = {"clock", "input-mode"};
  const DryRunResult valid = runDryRun(QAV_CLI_PATH, settings);
  EXPECT_TRUE(valid.valid());
  EXPECT_EQ(valid.outline.totalSegments(), 5u);

  settings.device.inputMode = "7";
  settings.device.pin = "12";
  const DryRunResult invalid = runDryRun(QAV_CLI_PATH, settings);
  EXPECT_EQ(invalid.exit.code, 2);
  const std::vector<std::string> expected{"Fehler: QAV-PIN muss vierstellig sein.",
                                          "Fehler: Eingangs-/Filtermodus muss 0, 1 oder 2 sein."};
  EXPECT_EQ(invalid.errors, expected);
}

TEST(CliLocator, BesideTheMenuFirstThenPathSkippingWhatCannotRun) {
  const TemporaryDirectory scratch;
  for (const char* dir : {"own", "plain", "dir", "bin"})
    std::filesystem::create_directory(scratch.path(dir));
  test::writeFile(scratch.path("plain/qav-cli"), "not executable");
  std::filesystem::create_directory(scratch.path("dir/qav-cli"));
  test::writeFile(scratch.path("bin/qav-cli"), "#!/bin/sh\n");
  ::chmod(scratch.path("bin/qav-cli").c_str(), 0755);
  const std::string path =
      scratch.path("plain") + ":" + scratch.path("dir") + ":" + scratch.path("bin");

  EXPECT_EQ(findProgram("qav-cli", {scratch.path("own")}, path), scratch.path("bin/qav-cli"));
  test::writeFile(scratch.path("own/qav-cli"), "#!/bin/sh\n");
  ::chmod(scratch.path("own/qav-cli").c_str(), 0755);
  EXPECT_EQ(findProgram("qav-cli", {scratch.path("own")}, path), scratch.path("own/qav-cli"));
  EXPECT_EQ(findProgram("qav-cli", {""}, ""), std::nullopt);
}

}  // namespace
}  // namespace qav::menu
