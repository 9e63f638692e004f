#include "tonesynth/wav_file.h"

#include <fstream>
#include <limits>
#include <stdexcept>

namespace qav {

namespace {

constexpr std::uint32_t kHeaderBytes = 44;

// WAV is little-endian whatever the host is.
void putLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

std::string wavHeader(std::uint32_t dataBytes, std::uint32_t sampleRate) {
  std::string header;
  header += "RIFF";
  putLittleEndian(header, kHeaderBytes - 8 + dataBytes, 4);
  header += "WAVEfmt ";
  putLittleEndian(header, 16, 4);  // fmt chunk size
  putLittleEndian(header, 1, 2);   // linear PCM
  putLittleEndian(header, 1, 2);   // mono
  putLittleEndian(header, sampleRate, 4);
  putLittleEndian(header, sampleRate * 2, 4);  // bytes per second
  putLittleEndian(header, 2, 2);               // bytes per frame
  putLittleEndian(header, 16, 2);              // bits per sample
  header += "data";
  putLittleEndian(header, dataBytes, 4);
  return header;
}

}  // namespace

void writeWav(const std::string& path, const std::vector<std::int16_t>& samples,
              std::uint32_t sampleRate) {
  if (samples.size() > (std::numeric_limits<std::uint32_t>::max() - kHeaderBytes) / 2) {
    throw std::runtime_error("Zu viele Samples für eine WAV-Datei: " + path);
  }
  std::string bytes = wavHeader(static_cast<std::uint32_t>(samples.size() * 2), sampleRate);
  for (std::int16_t sample : samples) putLittleEndian(bytes, static_cast<std::uint16_t>(sample), 2);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) throw std::runtime_error("WAV-Datei konnte nicht geschrieben werden: " + path);
}

}  // namespace qav
