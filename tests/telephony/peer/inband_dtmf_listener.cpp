#include "inband_dtmf_listener.h"

#include <re.h>
#include <rem.h>

#include <cmath>
#include <stdexcept>

namespace qav::testing {
namespace {

// 5 ms steps: fine enough to time a tone within a few milliseconds.
constexpr std::size_t chunkSamples = 40;
// Each tone of a pair has a quarter of full scale; G.711 noise and silence
// stay far below a tenth of that.
constexpr double toneRms = 0.03 * 32768;

}  // namespace

InbandDtmfListener::InbandDtmfListener(Handler h) : handler(std::move(h)) {
  if (dtmf_dec_alloc(&decoder, 8000, 1, detected, this) != 0) throw std::runtime_error("dtmf_dec_alloc failed");
}

InbandDtmfListener::~InbandDtmfListener() { mem_deref(decoder); }

void InbandDtmfListener::detected(char detectedDigit, void* arg) {
  auto* self = static_cast<InbandDtmfListener*>(arg);
  if (!self->digit) self->digit = detectedDigit;
}

void InbandDtmfListener::process(const std::int16_t* samples, std::size_t count) {
  for (std::size_t offset = 0; offset + chunkSamples <= count; offset += chunkSamples) processChunk(samples + offset);
}

void InbandDtmfListener::processChunk(const std::int16_t* samples) {
  dtmf_dec_probe(decoder, samples, chunkSamples);
  double energy = 0;
  for (std::size_t i = 0; i < chunkSamples; ++i) energy += static_cast<double>(samples[i]) * samples[i];
  if (std::sqrt(energy / chunkSamples) >= toneRms) {
    toneSamples += chunkSamples;
  } else if (toneSamples > 0) {
    endTone();
  }
}

void InbandDtmfListener::endTone() {
  if (digit) handler(digit, toneSamples / 8);
  digit = 0;
  toneSamples = 0;
}

}  // namespace qav::testing
