// DTMF as audible ITU-T Q.23 tone pairs: the pair of each key, and tones
// and gaps synthesised at 8 kHz into a sample FIFO.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>

namespace qav {

// Low and high frequency in Hz of 0 to 9, * and #; the A to D column is not
// used by the QAV and has no pair here.
std::optional<std::pair<double, double>> dtmfTonePair(char digit);

// Appends toneMs of the pair, each component at a quarter of full scale and
// starting at phase 0: toneMs * 8 samples, at least one.
void appendDtmfTone(std::deque<std::int16_t>& fifo, std::pair<double, double> pair, std::uint32_t toneMs);

void appendSilence(std::deque<std::int16_t>& fifo, std::uint32_t gapMs);

}  // namespace qav
