// The recorder between a media clock that must never wait and a file that
// must stay a valid WAV whatever the disk does.
#include "recording/call_recorder.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "process.h"
#include "temporary_directory.h"
#include "wav_file.h"

namespace qav {
namespace {

using testing::readWav;
using testing::WavFile;

// Frame f carries f*160+i on the left and its negation on the right, so that
// a frame out of place, a swapped channel or a shifted sample shows.
void recordFrames(CallRecorder& recorder, int first, int count) {
  std::int16_t received[callFrameSamples];
  std::int16_t sent[callFrameSamples];
  for (int f = first; f < first + count; ++f) {
    for (std::size_t i = 0; i < callFrameSamples; ++i) {
      received[i] = static_cast<std::int16_t>(f * 160 + static_cast<int>(i));
      sent[i] = static_cast<std::int16_t>(-received[i]);
    }
    recorder.onTick(received, sent);
  }
}

void expectFrames(const WavFile& wav, std::size_t frames) {
  ASSERT_EQ(wav.left.size(), frames * callFrameSamples);
  for (std::size_t i = 0; i < wav.left.size(); ++i) {
    ASSERT_EQ(wav.left[i], static_cast<std::int16_t>(i)) << i;
    ASSERT_EQ(wav.right[i], static_cast<std::int16_t>(-static_cast<std::int16_t>(i))) << i;
  }
}

TEST(CallRecorder, WritesBothDirectionsAsAPrivateStereoWav) {
  const testing::TemporaryDirectory directory;
  const std::string path = directory.path() + "/call.wav";
  CallRecorder recorder(path);
  recordFrames(recorder, 0, 150);
  recorder.close();
  const RecordingOutcome outcome = recorder.outcome();
  EXPECT_EQ(outcome.framesWritten, 150u);
  EXPECT_EQ(outcome.framesLost, 0u);
  EXPECT_EQ(outcome.writeError, "");

  const std::optional<WavFile> wav = readWav(path);
  ASSERT_TRUE(wav);
  EXPECT_EQ(wav->format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(wav->channels, 2);
  EXPECT_EQ(wav->sampleRate, 8000);
  EXPECT_TRUE(wav->sizesMatchFile);
  expectFrames(*wav, 150);
  struct stat status {};
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u) << "the sent digits include the PIN";
}

// A tmpfs of five pages, mounted in a private mount namespace of a child
// process, is a disk that fills after 31 frames. The producer goes on at
// full speed; every frame is either in the file or counted as lost, and the
// file is a valid WAV of what fitted. The child's failures fail the test.
TEST(CallRecorder, DiskFillingUpCutsTheFileButLeavesItValid) {
  const testing::TemporaryDirectory directory;
  const std::string path = directory.path() + "/call.wav";
  constexpr int cannotMount = 77;
  const int status = testing::runForked([&] {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", directory.path().c_str(), "tmpfs", 0, "size=20k") != 0)
      return cannotMount;
    CallRecorder recorder(path, 64);
    // The first 64 fit the ring whatever the writer does, so the disk
    // certainly fills; many of the rest find the ring full.
    recordFrames(recorder, 0, 208);
    recorder.close();
    const RecordingOutcome outcome = recorder.outcome();
    EXPECT_NE(outcome.writeError, "");
    EXPECT_LE(outcome.framesWritten, 31u);
    EXPECT_EQ(outcome.framesWritten + outcome.framesLost, 208u);
    const std::optional<WavFile> wav = readWav(path);
    EXPECT_TRUE(wav && wav->sizesMatchFile);
    // Whole frames as counted, and at most the part of one more.
    if (wav) {
      EXPECT_GE(wav->left.size(), outcome.framesWritten * callFrameSamples);
      EXPECT_LT(wav->left.size(), (outcome.framesWritten + 1) * callFrameSamples);
      for (std::size_t i = 0; i < wav->left.size(); ++i) EXPECT_EQ(wav->left[i], static_cast<std::int16_t>(i)) << i;
    }
    return ::testing::Test::HasFailure() ? 1 : 0;
  });
  if (status == cannotMount) GTEST_SKIP() << "no private mount namespace with tmpfs here";
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace qav
