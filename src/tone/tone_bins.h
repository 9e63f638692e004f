// The DFT bins of one 20 ms block that the QAV's answer tones fall into,
// measured in one pass, and the share of the block's energy each tone holds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qav {

// Bins are 50 Hz apart: a 20 ms block holds a whole number of periods of
// each, so a steady tone between two bins puts at least 81 % of the block's
// energy into that pair of neighbours, and noise spreads over all 80.
constexpr double kBinHz = 50.0;

// One tone's strongest pair of neighbouring bins in its band: the share of
// the block's energy in it (about 1 for a pure tone, about 2/80 for white
// noise), that energy as a mean square (full scale 1), and the lower bin.
struct ToneShare {
  float share = 0.0f;
  float power = 0.0f;
  int bin = -1;
  // Where between the two bins a single tone would lie, from the ratio of
  // their amplitudes; for noise it wanders from block to block.
  float hz = 0.0f;
};

// The pairs of bins that are searched for each tone. High: 1900 to 2300 Hz;
// middle: 600 to 850 Hz; each trio tone: the pairs around 925, 1054, 1183 Hz.
struct BinBand {
  int first;  // lowest bin of the lowest pair
  int last;   // lowest bin of the highest pair
};
constexpr BinBand kHighBins{38, 45};
constexpr BinBand kMiddleBins{12, 16};
constexpr BinBand kTrioBins[3] = {{18, 18}, {20, 21}, {23, 23}};

// Bin powers and block energy; owned by the caller, no allocation.
class ToneBins {
 public:
  explicit ToneBins(std::uint32_t sampleRate);

  // Returns the block's mean square (full scale 1). A block whose mean
  // square is under the floor gets no bins: every share reads 0.
  double measure(const std::int16_t* samples, std::size_t count, double floor = 0.0);
  ToneShare best(const BinBand& band) const;

 private:
  // Bins 12 to 24 and 38 to 46 side by side, padded to a multiple of eight
  // lanes so that the compiler runs the filters in vector registers.
  static constexpr int kLanes = 24;
  static int lane(int bin);

  alignas(32) float coefficient[kLanes] = {};
  float binPower[kLanes] = {};
  double energy = 0.0;
  double count = 0.0;
};

}  // namespace qav
