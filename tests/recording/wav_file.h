// A recording as the tests look at it: format, samples of both channels, and
// whether the header's sizes match the file, as a player would need.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qav::testing {

struct WavFile {
  int format = 0;  // libsndfile's SF_FORMAT_* bits
  int channels = 0;
  int sampleRate = 0;
  std::vector<std::int16_t> left;
  std::vector<std::int16_t> right;
  // The RIFF and data chunk sizes both account for the file's length.
  bool sizesMatchFile = false;
};

// Empty when libsndfile cannot open the file as a sound file.
std::optional<WavFile> readWav(const std::string& path);

// Mean square of the samples, in 16-bit units squared.
double power(const std::vector<std::int16_t>& samples);

}  // namespace qav::testing
