// Reads the audio of one channel of an 8 kHz WAV file, mono or stereo, as
// 16-bit samples in pieces; libsndfile decodes whatever encoding it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace qav {

// The rate of the line, and the only one the tone analysis accepts: other
// rates are refused rather than resampled.
constexpr int kRecordingSampleRate = 8000;

struct WavFormat {
  int channels = 0;
  std::string encoding;  // libsndfile's name of the sample encoding
};

// Single-threaded; owns the open file, which the destructor closes.
class WavReader {
 public:
  // Throws std::runtime_error with a German text naming the file when it
  // cannot be opened, is no WAV file, has another rate or more than two
  // channels. channel counts from 0 (left); a mono file has only channel 0.
  WavReader(const std::string& path, int channel);
  ~WavReader();
  WavReader(const WavReader&) = delete;
  WavReader& operator=(const WavReader&) = delete;

  const WavFormat& format() const { return format_; }
  // Up to frames samples of the channel; empty at the end of the file. A
  // header that claims more data than the file holds ends where the data
  // ends. Throws std::runtime_error on a read error.
  std::vector<std::int16_t> read(std::size_t frames);

 private:
  std::string path_;
  int channel_ = 0;
  WavFormat format_;
  int descriptor_ = -1;
  SNDFILE* file_ = nullptr;
  std::vector<float> interleaved_;
};

}  // namespace qav
