// The telephone network between the caller and the simulated QAV: the
// caller's audio through the line's voice codecs to the device, and the
// device's answers, with the line's noise and echo, through them back.
#pragma once

#include <cstdint>

#include "linemodel/line_model.h"

namespace qav::sim {

// Both directions of one call, in 20 ms frames of line::kFrameSamples. Every
// frame of the call passes, silence included, so that discontinuous
// transmission behaves as on the real line. Used by the media clock's thread
// only; owned by the call.
class CodecLine {
 public:
  // Throws std::runtime_error when a codec library cannot set itself up.
  explicit CodecLine(const line::LineSpec& spec);

  // What the device hears of the caller's frame.
  void toDevice(const std::int16_t* sent, std::int16_t* heard);
  // What the caller receives of the device's frame; `heard` is the caller's
  // audio at the device's line, which comes back as the echo.
  void toCaller(const std::int16_t* answer, const std::int16_t* heard, std::int16_t* received);

 private:
  line::LineModel downlink_;  // the codecs only: noise and echo arise at the device's end
  line::LineModel uplink_;
};

}  // namespace qav::sim
