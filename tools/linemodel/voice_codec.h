// One direction of a telephone line's voice codec: each 20 ms frame of 8 kHz
// PCM encoded and decoded again, as the far end of a real call hears it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qav::line {

constexpr std::size_t kFrameSamples = 160;  // 20 ms at 8000 Hz

// Holds the encoder's and decoder's state, so frames must come in order and
// every frame of the call must pass, silence included: discontinuous
// transmission decides from the history when to stop and what comfort noise
// to send. One object per direction of one call, used by one thread at a time.
class VoiceCodec {
 public:
  virtual ~VoiceCodec() = default;
  virtual void transcode(const std::int16_t* in, std::int16_t* out) = 0;
};

}  // namespace qav::line
