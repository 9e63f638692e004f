#include "tonesynth/g711_line.h"

extern "C" {
#include <rem_g711.h>
}

namespace qav {

void g711RoundTrip(const std::int16_t* in, std::size_t count, G711Law law, std::int16_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    // librem's A-law encoder would read before its table for -32768.
    const std::int16_t sample = in[i] == INT16_MIN ? INT16_MIN + 1 : in[i];
    out[i] = law == G711Law::MuLaw ? g711_ulaw2pcm(g711_pcm2ulaw(sample)) : g711_alaw2pcm(g711_pcm2alaw(sample));
  }
}

std::vector<std::int16_t> g711RoundTrip(const std::vector<std::int16_t>& pcm, G711Law law) {
  std::vector<std::int16_t> out(pcm.size());
  g711RoundTrip(pcm.data(), pcm.size(), law, out.data());
  return out;
}

}  // namespace qav
