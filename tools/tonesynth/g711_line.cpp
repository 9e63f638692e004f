#include "tonesynth/g711_line.h"

namespace qav {

void g711RoundTrip(const std::int16_t* in, std::size_t count, G711Law law, std::int16_t* out) {
  for (std::size_t i = 0; i < count; ++i) out[i] = g711Decode(law, g711Encode(law, in[i]));
}

std::vector<std::int16_t> g711RoundTrip(const std::vector<std::int16_t>& pcm, G711Law law) {
  std::vector<std::int16_t> out(pcm.size());
  g711RoundTrip(pcm.data(), pcm.size(), law, out.data());
  return out;
}

}  // namespace qav
