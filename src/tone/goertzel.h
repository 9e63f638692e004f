// How strongly one frequency, or the strongest of a band of frequencies, is
// present in a block of PCM, relative to the block's RMS level.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qav {

// Goertzel amplitude at `frequency` divided by the block's RMS: about 1.414
// for a pure sine at that frequency, whatever its loudness; 0 for an empty or
// silent block (and for a sample rate of 0).
double toneLevel(std::uint32_t sampleRate, const std::int16_t* samples, std::uint64_t count,
                 double frequency);

// The largest toneLevel on the grid centre - halfWidth, + step, ... up to
// centre + halfWidth; 0 when halfWidth is negative. A step that does not
// advance the grid probes its lowest frequency only.
double bandLevel(std::uint32_t sampleRate, const std::int16_t* samples, std::uint64_t count,
                 double centre, double halfWidth, double step);

}  // namespace qav
