// A telephone line between the QAV and the programming side: line noise and
// the echo of the far end added, then a chain of voice codecs, frame by frame.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "linemodel/codec_kind.h"
#include "linemodel/line_noise.h"
#include "linemodel/voice_codec.h"

namespace qav::line {

// The far end's own audio coming back: delayed and attenuated.
struct EchoSpec {
  std::uint32_t delayMs = 50;
  double gainDb = -15.0;
};

struct LineSpec {
  std::vector<CodecKind> codecs;  // in the order the audio passes them
  std::optional<NoiseSpec> noise;
  std::optional<EchoSpec> echo;
};

// Codecs joined by "+", in the order the audio passes them: "amr475-dtx",
// "gsm", "amr475-dtx+alaw". Empty when a name is unknown.
std::optional<LineSpec> lineNamed(const std::string& codecs);
std::string lineName(const LineSpec& spec);

// One direction of one call. The noise and echo are added where the QAV's
// analogue line meets the gateway, so the codec's voice activity detector
// hears them as it would. One thread at a time.
class LineModel {
 public:
  // Throws std::runtime_error when a codec library cannot set itself up.
  explicit LineModel(const LineSpec& spec);

  // One 20 ms frame of kFrameSamples: what the QAV sends, what the far end
  // sent at the same time (for the echo; may be null), and what the far end
  // receives.
  void pass(const std::int16_t* sent, const std::int16_t* farEnd, std::int16_t* received);

  // A whole recording, with silence as the far end.
  std::vector<std::int16_t> passAll(const std::vector<std::int16_t>& sent);

 private:
  std::vector<std::unique_ptr<VoiceCodec>> codecs;
  std::optional<LineNoise> noise;
  std::optional<EchoSpec> echo;
  std::vector<std::int16_t> echoLine;  // the far end's last delayMs of audio
  std::size_t echoAt = 0;
  double echoGain = 0.0;
};

}  // namespace qav::line
