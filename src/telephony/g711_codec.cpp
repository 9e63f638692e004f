#include "telephony/g711_codec.h"

#include <rem.h>
#include <strings.h>

namespace qav {

std::optional<G711Law> g711LawNamed(const std::string& encodingName) {
  if (strcasecmp(encodingName.c_str(), "PCMU") == 0) return G711Law::MuLaw;
  if (strcasecmp(encodingName.c_str(), "PCMA") == 0) return G711Law::ALaw;
  return std::nullopt;
}

// librem's A-law table is indexed by the magnitude of the sample, and
// -32768 has none in 16 bits: it would be read from before the table.
// -32767 encodes to the same code.
void g711Encode(G711Law law, const std::int16_t* samples, std::size_t count, std::uint8_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::int16_t sample = samples[i] == INT16_MIN ? std::int16_t{INT16_MIN + 1} : samples[i];
    out[i] = law == G711Law::MuLaw ? g711_pcm2ulaw(sample) : g711_pcm2alaw(sample);
  }
}

void g711Decode(G711Law law, const std::uint8_t* bytes, std::size_t count, std::int16_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = law == G711Law::MuLaw ? g711_ulaw2pcm(bytes[i]) : g711_alaw2pcm(bytes[i]);
  }
}

}  // namespace qav
