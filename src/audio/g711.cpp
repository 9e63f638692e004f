#include "audio/g711.h"

namespace qav {
namespace {

// Both laws code a sign bit, a 3-bit segment (the exponent) and a 4-bit
// step within it; a set sign bit after the final mask means positive.
constexpr std::uint8_t positiveMask = 0xFF;
constexpr std::uint8_t negativeMask = 0x7F;

int segmentOf(int value, int firstEnd) {
  int segment = 0;
  for (int end = firstEnd; segment < 8 && value > end; end = end * 2 + 1) ++segment;
  return segment;
}

// The magnitude in 14 bits with the mu-law bias of 33, in 8 segments that
// double in size; the code is sent inverted.
std::uint8_t muLawMagnitude(int magnitude) {
  int value = magnitude < 4 ? 0 : (((magnitude - 4) >> 3) << 1) + 1;
  value += 33;
  if (value > 8191 + 33 - 1) value = 8191 + 33 - 1;
  const int segment = segmentOf(value, 0x3F);
  if (segment >= 8) return 0x80;
  return static_cast<std::uint8_t>(~((segment << 4) | ((value >> (segment + 1)) & 0x0F)) & 0xFF);
}

// The magnitude in 13 bits; the first two segments share one step size.
// Even bits are inverted on the line (0x55), the sign bit set for positive.
std::uint8_t aLawMagnitude(int magnitude) {
  const int value = magnitude >> 3;
  const int segment = segmentOf(value, 0x1F);
  if (segment >= 8) return 0xAA;
  const int step = segment < 2 ? (value >> 1) & 0x0F : (value >> segment) & 0x0F;
  return static_cast<std::uint8_t>(((segment << 4) | step) ^ 0xD5);
}

std::int16_t muLawLinear(std::uint8_t code) {
  const int inverted = ~code & 0xFF;
  int value = ((inverted & 0x0F) << 3) + 0x84;
  value <<= (inverted & 0x70) >> 4;
  return static_cast<std::int16_t>(inverted & 0x80 ? 0x84 - value : value - 0x84);
}

std::int16_t aLawLinear(std::uint8_t code) {
  const int toggled = code ^ 0x55;
  int value = (toggled & 0x0F) << 4;
  const int segment = (toggled & 0x70) >> 4;
  if (segment == 0) {
    value += 8;
  } else {
    value += 0x108;
    value <<= segment - 1;
  }
  return static_cast<std::int16_t>(toggled & 0x80 ? value : -value);
}

}  // namespace

std::uint8_t g711Encode(G711Law law, std::int16_t sample) {
  const int magnitude = sample < 0 ? -static_cast<int>(sample) : sample;
  const int clipped = magnitude > 32767 ? 32767 : magnitude;
  const std::uint8_t mask = sample < 0 ? negativeMask : positiveMask;
  return (law == G711Law::MuLaw ? muLawMagnitude(clipped) : aLawMagnitude(clipped)) & mask;
}

std::int16_t g711Decode(G711Law law, std::uint8_t code) {
  return law == G711Law::MuLaw ? muLawLinear(code) : aLawLinear(code);
}

void g711Encode(G711Law law, const std::int16_t* samples, std::size_t count, std::uint8_t* out) {
  for (std::size_t i = 0; i < count; ++i) out[i] = g711Encode(law, samples[i]);
}

void g711Decode(G711Law law, const std::uint8_t* codes, std::size_t count, std::int16_t* out) {
  for (std::size_t i = 0; i < count; ++i) out[i] = g711Decode(law, codes[i]);
}

}  // namespace qav
