// G.711 companding of 8 kHz telephone audio: 16-bit linear PCM to one byte
// per sample and back, by mu-law (PCMU) or A-law (PCMA).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qav {

enum class G711Law { MuLaw, ALaw };

// Sign and magnitude are coded apart, so -32768 codes like -32767.
std::uint8_t g711Encode(G711Law law, std::int16_t sample);
std::int16_t g711Decode(G711Law law, std::uint8_t code);

void g711Encode(G711Law law, const std::int16_t* samples, std::size_t count, std::uint8_t* out);
void g711Decode(G711Law law, const std::uint8_t* codes, std::size_t count, std::int16_t* out);

}  // namespace qav
