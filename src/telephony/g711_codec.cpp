#include "telephony/g711_codec.h"

#include <rem.h>
#include <strings.h>

namespace qav {

std::optional<G711Law> g711LawNamed(const std::string& encodingName) {
  if (strcasecmp(encodingName.c_str(), "PCMU") == 0) return G711Law::MuLaw;
  if (strcasecmp(encodingName.c_str(), "PCMA") == 0) return G711Law::ALaw;
  return std::nullopt;
}

void g711Encode(G711Law law, const std::int16_t* samples, std::size_t count, std::uint8_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = law == G711Law::MuLaw ? g711_pcm2ulaw(samples[i]) : g711_pcm2alaw(samples[i]);
  }
}

void g711Decode(G711Law law, const std::uint8_t* bytes, std::size_t count, std::int16_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = law == G711Law::MuLaw ? g711_ulaw2pcm(bytes[i]) : g711_alaw2pcm(bytes[i]);
  }
}

}  // namespace qav
