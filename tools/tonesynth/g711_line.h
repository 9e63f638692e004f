// What a G.711 telephone line does to PCM: encode to 8-bit mu-law or A-law
// and decode again, as the QAV's answers arrive over a real call.
#pragma once

#include <cstdint>
#include <vector>

namespace qav {

enum class G711Law { MuLaw, ALaw };

std::vector<std::int16_t> g711RoundTrip(const std::vector<std::int16_t>& pcm, G711Law law);

}  // namespace qav
