#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "call_fixture.h"
#include "wav_file.h"

// Calls recorded with --record-audio: the file is a valid stereo WAV of both
// directions however the run ends, and a path that cannot take it ends the
// run before anything is sent.

namespace qav::e2e {
namespace {

using namespace std::chrono_literals;
using qav::testing::readWav;
using qav::testing::WavFile;

const std::vector<std::string> kInband = with(kFastDigits, {"--dtmf-method", "inband"});

// Index of the first sample louder than a faint tone, or the size.
std::size_t onset(const std::vector<std::int16_t>& samples) {
  return static_cast<std::size_t>(std::find_if(samples.begin(), samples.end(),
                                               [](std::int16_t s) { return std::abs(s) > 1000; }) -
                                  samples.begin());
}

// The QAV answers before qav-cli sends the first digit, so its tones start
// on the left earlier than the digits on the right; a swap shows.
void expectBothDirections(const std::string& path) {
  const std::optional<WavFile> wav = readWav(path);
  ASSERT_TRUE(wav) << path;
  EXPECT_EQ(wav->channels, 2);
  EXPECT_EQ(wav->sampleRate, 8000);
  EXPECT_TRUE(wav->sizesMatchFile);
  EXPECT_GE(wav->left.size(), 8000u) << "less than a second of call";
  EXPECT_GT(qav::testing::power(wav->left), 1e5) << "no tones of the QAV on the left";
  EXPECT_GT(qav::testing::power(wav->right), 1e5) << "no in-band digits on the right";
  EXPECT_LT(onset(wav->left), onset(wav->right));
}

TEST_F(EndToEndCallTest, FailingRunLeavesARecordingOfBothDirections) {
  const std::string path = directory.path() + "/falsche-pin.wav";
  startSimulator();
  const CliRun run = call(with(kInband, {"--pin", "1234", "--retries", "0", "--record-audio", path}));
  EXPECT_EQ(run.status(), 3);
  EXPECT_TRUE(run.process.err.starts_with("Fehler: ")) << run.process.err;
  EXPECT_EQ(simulatorLines().back(), "bye");
  expectBothDirections(path);
}

TEST_F(EndToEndCallTest, SigtermDuringTheCallClosesTheRecording) {
  const std::string path = directory.path() + "/abbruch.wav";
  startSimulator();
  qav::testing::Process cli({cliArguments(with(kInband, {"--record-audio", path})), std::nullopt, "",
                            qav::testing::Streams::Merged});
  // The device has heard a digit: the call carries audio both ways.
  ASSERT_TRUE(simulator->waitFor("digit ", 30s));
  cli.sendSignal(SIGTERM);
  EXPECT_EQ(cli.finish(30s), 3);
  EXPECT_EQ(cli.lines().back(), "Fehler: Abbruch durch SIGTERM; Verbindung und Registrierung wurden beendet.");
  EXPECT_EQ(simulatorLines().back(), "bye");
  expectBothDirections(path);
}

// Root may write anywhere: the permission case runs as nobody then. The full
// disk is a tmpfs of one full page in a private mount namespace.
TEST_F(EndToEndCallTest, UnwritableRecordingEndsTheRunBeforeTheRegistration) {
  const std::string locked = directory.path() + "/gesperrt";
  const std::string disk = directory.path() + "/platte";
  std::filesystem::create_directory(locked);
  std::filesystem::create_directory(disk);
  ::chmod(locked.c_str(), 0500);
  const std::vector<std::string> asNobody =
      ::geteuid() == 0
          ? std::vector<std::string>{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}
          : std::vector<std::string>{};
  constexpr int cannotMount = 77;
  const std::vector<std::string> onFullDisk{
      "/usr/bin/unshare", "-m", "/bin/sh", "-c",
      "{ mount --make-rprivate / && mount -t tmpfs -o size=4k tmpfs \"$1\" && head -c 4096 /dev/zero >\"$1/voll\"; }"
      " 2>/dev/null || exit 77; shift; exec \"$@\"",
      "sh", disk};
  struct Case {
    std::string path;
    std::vector<std::string> launcher;
    std::string reason;
  };
  const Case cases[] = {
      {directory.path(), {}, "ist ein Ordner"},
      {directory.path() + "/fehlt/anruf.wav", {}, "Ordner existiert nicht"},
      {locked + "/anruf.wav", asNobody, "keine Schreibberechtigung"},
      {disk + "/anruf.wav", onFullDisk, "kein Platz mehr auf dem Datenträger"},
  };
  std::string skipped;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    if (!c.launcher.empty() && ::access(c.launcher[0].c_str(), X_OK) != 0) {
      skipped += " " + c.launcher[0];
      continue;
    }
    const CliRun run = call(with(kFastDigits, {"--record-audio", c.path}), c.launcher);
    if (run.status() == cannotMount) {
      skipped += " tmpfs";
      continue;
    }
    EXPECT_EQ(run.status(), 3);
    EXPECT_EQ(run.process.err, "Fehler: Aufnahmedatei kann nicht geschrieben werden: " + c.path + ": " + c.reason + "\n");
    EXPECT_TRUE(run.events.empty()) << "the run went on to " << run.events.front();
  }
  if (!skipped.empty()) GTEST_SKIP() << "not available here:" << skipped;
}

}  // namespace
}  // namespace qav::e2e
