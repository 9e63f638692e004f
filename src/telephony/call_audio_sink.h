// Where the media clock hands each packet time of call audio, both ways at
// once, for a recording of the call.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qav {

// One packet time: 20 ms of 8 kHz audio.
constexpr std::size_t callFrameSamples = 160;
constexpr std::uint64_t callFrameMs = 20;

// Called on the media clock thread only, once per tick while the call
// carries audio. The 20 ms clock must not wait: an implementation neither
// blocks nor allocates. The session only borrows the sink; its owner keeps
// it alive until the session is gone.
class CallAudioSink {
 public:
  virtual ~CallAudioSink() = default;
  // callFrameSamples each: what came from the QAV (as the tone analyzer got
  // it) and what went out to it in the same tick.
  virtual void onTick(const std::int16_t* received, const std::int16_t* sent) noexcept = 0;
};

}  // namespace qav
