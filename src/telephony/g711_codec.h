// G.711 as negotiated for the call: PCMU (payload type 0) or PCMA (8), one
// byte per 8 kHz sample, to and from 16-bit linear PCM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qav {

enum class G711Law { MuLaw, ALaw };

struct AudioCodec {
  G711Law law = G711Law::MuLaw;
  int payloadType = 0;
};

// By the SDP encoding name, case-insensitively ("PCMU", "PCMA").
std::optional<G711Law> g711LawNamed(const std::string& encodingName);

void g711Encode(G711Law law, const std::int16_t* samples, std::size_t count, std::uint8_t* out);
void g711Decode(G711Law law, const std::uint8_t* bytes, std::size_t count, std::int16_t* out);

}  // namespace qav
