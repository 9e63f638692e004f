#include "wav_file.h"

#include <sndfile.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace qav::testing {

namespace {

std::uint32_t littleEndian32(const char* bytes) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[i]);
  return value;
}

// libsndfile reads a file whose header claims too much without a word, so
// the two sizes are compared with the file here. libsndfile writes the
// canonical 44-byte header: "RIFF" size "WAVE", a 16-byte "fmt " chunk,
// then "data" size.
bool headerSizesMatch(const std::string& path) {
  char header[44];
  std::ifstream in(path, std::ios::binary);
  if (!in.read(header, sizeof header)) return false;
  const auto length = std::filesystem::file_size(path);
  return std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 36, "data", 4) == 0 &&
         littleEndian32(header + 4) == length - 8 && littleEndian32(header + 40) == length - 44;
}

}  // namespace

std::optional<WavFile> readWav(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return std::nullopt;
  WavFile wav;
  wav.format = info.format;
  wav.channels = info.channels;
  wav.sampleRate = info.samplerate;
  std::vector<std::int16_t> samples(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_short(file, samples.data(), info.frames);
  sf_close(file);
  for (std::size_t i = 0; info.channels == 2 && i + 1 < samples.size(); i += 2) {
    wav.left.push_back(samples[i]);
    wav.right.push_back(samples[i + 1]);
  }
  wav.sizesMatchFile = headerSizesMatch(path);
  return wav;
}

double power(const std::vector<std::int16_t>& samples) {
  if (samples.empty()) return 0;
  double sum = 0;
  for (const std::int16_t sample : samples) sum += static_cast<double>(sample) * sample;
  return sum / static_cast<double>(samples.size());
}

}  // namespace qav::testing
