#include "tonesynth/g711_line.h"

extern "C" {
#include <rem_g711.h>
}

namespace qav {

std::vector<std::int16_t> g711RoundTrip(const std::vector<std::int16_t>& pcm, G711Law law) {
  std::vector<std::int16_t> out;
  out.reserve(pcm.size());
  for (std::int16_t sample : pcm) {
    // librem's A-law encoder would read before its table for -32768.
    if (sample == INT16_MIN) sample = INT16_MIN + 1;
    out.push_back(law == G711Law::MuLaw ? g711_ulaw2pcm(g711_pcm2ulaw(sample))
                                        : g711_alaw2pcm(g711_pcm2alaw(sample)));
  }
  return out;
}

}  // namespace qav
