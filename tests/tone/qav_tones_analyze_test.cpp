// qav-tones analyze as a program: every recording under recordings/ gives the
// signals listed beside it, and a file that is no usable 8 kHz WAV ends in a
// clean error rather than a crash or a made-up result.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "temporary_directory.h"
#include "tonesynth/answer_patterns.h"
#include "tonesynth/pcm_render.h"
#include "tonesynth/wav_file.h"

namespace qav {
namespace {

namespace fs = std::filesystem;

struct Analysis {
  testing::ProcessRun run;
  std::vector<std::string> signals;      // keys, from the summary line
  std::vector<std::string> signalNames;  // German names, from the group lines
  std::uint64_t durationMs = 0;
};

// The test's own environment, so that sanitizer settings of the suite reach
// the child.
testing::ProcessRun runTones(const std::vector<std::string>& args) {
  std::vector<std::string> argv{QAV_TONES_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return testing::runToEnd({argv}, std::chrono::seconds(60));
}

// The default channel is the left one, what came from the QAV.
std::vector<std::string> channelArgs(const std::string& channel) {
  if (channel == "links") return {};
  return {"--channel", channel};
}

Analysis analyzeJson(const std::string& path, const std::string& channel) {
  std::vector<std::string> args{"analyze", path, "--json"};
  for (const std::string& arg : channelArgs(channel)) args.push_back(arg);
  Analysis analysis{runTones(args), {}, {}, 0};
  std::istringstream lines(analysis.run.out);
  int summaries = 0;
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json event = nlohmann::json::parse(line);
    if (event["event"] == "group" && !event["signal"].is_null()) analysis.signalNames.push_back(event["signalName"]);
    if (event["event"] != "summary") continue;
    ++summaries;
    analysis.signals = event["signals"].get<std::vector<std::string>>();
    analysis.durationMs = event["durationMs"];
  }
  EXPECT_EQ(summaries, analysis.run.status == 0 ? 1 : 0) << path;
  return analysis;
}

// One signal key a line; blank lines and lines starting with # are ignored.
std::vector<std::string> expectedSignals(const fs::path& sidecar) {
  std::ifstream in(sidecar);
  std::vector<std::string> keys;
  for (std::string line; std::getline(in, line);) {
    line.erase(line.find_last_not_of(" \t\r") + 1);
    if (!line.empty() && line[0] != '#') keys.push_back(line);
  }
  return keys;
}

TEST(QavTonesAnalyze, EveryRecordingGivesTheSignalsListedBesideIt) {
  int checked = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(QAV_RECORDINGS_DIR)) {
    if (entry.path().extension() != ".wav") continue;
    const fs::path wav = entry.path();
    const fs::path left = fs::path(wav).replace_extension(".expected");
    const fs::path right = fs::path(wav).replace_extension(".rechts.expected");
    EXPECT_TRUE(fs::exists(left)) << "missing " << left;
    for (const auto& [channel, sidecar] : {std::pair{"links", left}, std::pair{"rechts", right}}) {
      if (!fs::exists(sidecar)) continue;
      const Analysis analysis = analyzeJson(wav, channel);
      ASSERT_EQ(analysis.run.status, 0) << wav << "\n" << analysis.run.err;
      EXPECT_EQ(analysis.signals, expectedSignals(sidecar)) << wav << " " << channel;
      EXPECT_GT(analysis.durationMs, 0u) << wav;
      // The German listing with every block tells the same signals.
      std::vector<std::string> args{"analyze", wav, "--blocks"};
      for (const std::string& arg : channelArgs(channel)) args.push_back(arg);
      const testing::ProcessRun text = runTones(args);
      ASSERT_EQ(text.status, 0) << wav << "\n" << text.err;
      for (const std::string& name : analysis.signalNames) EXPECT_THAT(text.out, ::testing::HasSubstr(name)) << wav;
      ++checked;
    }
  }
  EXPECT_GE(checked, 3);
}

std::string validWav(const fs::path& path) {
  writeWav(path, render(answerPattern(Signal::SingleConfirmation).add(pause(600)), {}), kLineSampleRate);
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string withField(std::string wav, std::size_t offset, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) wav[offset + i] = static_cast<char>((value >> (8 * i)) & 0xff);
  return wav;
}

TEST(QavTonesAnalyze, RefusesWhatIsNoUsable8kHzWavWithAClearError) {
  const testing::TemporaryDirectory scratch;
  const fs::path dir = scratch.path();
  fs::create_directories(dir / "verzeichnis.wav");
  const std::string wav = validWav(dir / "gut.wav");
  // Offsets in the 44-byte header: channels 22, rate 24, data size 40.
  writeBytes(dir / "text.wav", "Dies ist keine WAV-Datei, nur Text.\n");
  writeBytes(dir / "leer.wav", "");
  writeBytes(dir / "kopf-abgeschnitten.wav", wav.substr(0, 30));
  writeBytes(dir / "kanaele-1000.wav", withField(wav, 22, 1000, 2));
  writeBytes(dir / "kanaele-65535.wav", withField(wav, 22, 65535, 2));
  writeBytes(dir / "rate-riesig.wav", withField(wav, 24, 0xffffffff, 4));
  writeWav(dir / "rate-16000.wav", std::vector<std::int16_t>(1600, 0), 16000);

  for (const char* name : {"text.wav", "leer.wav", "kopf-abgeschnitten.wav", "kanaele-1000.wav",
                           "kanaele-65535.wav", "rate-riesig.wav", "rate-16000.wav", "verzeichnis.wav",
                           "fehlt.wav"}) {
    const std::string path = dir / name;
    const testing::ProcessRun run = runTones({"analyze", path});
    EXPECT_EQ(run.status, 3) << name << "\n" << run.err;
    EXPECT_THAT(run.err, ::testing::StartsWith("qav-tones: Fehler: " + path + ": ")) << name;
    EXPECT_EQ(run.out, "") << name;
  }
  EXPECT_THAT(runTones({"analyze", dir / "rate-16000.wav"}).err, ::testing::HasSubstr("16000 Hz"));
  EXPECT_EQ(runTones({"analyze", dir / "gut.wav", "--channel", "rechts"}).status, 3);
  EXPECT_EQ(runTones({"analyze", dir / "gut.wav", "--channel", "mitte"}).status, 2);
  EXPECT_EQ(runTones({"analyze"}).status, 2);

  // A data size beyond the file, as a recorder that never finished its
  // header leaves it: the audio that is there is analysed, no more.
  writeBytes(dir / "daten-riesig.wav", withField(wav, 40, 0xfffffff0, 4));
  const Analysis huge = analyzeJson(dir / "daten-riesig.wav", "links");
  EXPECT_EQ(huge.run.status, 0) << huge.run.err;
  EXPECT_EQ(huge.durationMs, (wav.size() - 44) / 2 * 1000 / kLineSampleRate);
  EXPECT_EQ(huge.signals, std::vector<std::string>{"single-confirmation"});
}

}  // namespace
}  // namespace qav
