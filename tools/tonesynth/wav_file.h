// Writes rendered PCM as a WAV file, so that the patterns a test or the
// simulator uses can be listened to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qav {

// Mono, 16-bit little-endian PCM. Throws std::runtime_error when the file
// cannot be written.
void writeWav(const std::string& path, const std::vector<std::int16_t>& samples,
              std::uint32_t sampleRate);

}  // namespace qav
