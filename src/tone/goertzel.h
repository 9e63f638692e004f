// How strongly one frequency, or the strongest of a band of frequencies, is
// present in a block of PCM, relative to the block's RMS level.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qav {

double toneLevel(std::uint32_t sampleRate, const std::int16_t* samples, std::uint64_t count,
                 double frequency);

double bandLevel(std::uint32_t sampleRate, const std::int16_t* samples, std::uint64_t count,
                 double centre, double halfWidth, double step);

}  // namespace qav
