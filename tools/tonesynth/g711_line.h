// What a G.711 telephone line does to PCM: encode to 8-bit mu-law or A-law
// and decode again, as the QAV's answers arrive over a real call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/g711.h"

namespace qav {

std::vector<std::int16_t> g711RoundTrip(const std::vector<std::int16_t>& pcm, G711Law law);
// In place of the copy, for a frame on a media clock.
void g711RoundTrip(const std::int16_t* in, std::size_t count, G711Law law, std::int16_t* out);

}  // namespace qav
