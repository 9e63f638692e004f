// The codecs a line model can pass audio through, with the names by which
// the simulator's options, the benchmark and the tests select them.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "linemodel/voice_codec.h"

namespace qav::line {

enum class CodecFamily { Linear, MuLaw, ALaw, Gsm, AmrNb, AmrWb };

struct CodecKind {
  CodecFamily family = CodecFamily::Linear;
  // AMR-NB: the mode 0 (4.75 kbit/s) to 7 (12.2 kbit/s); AMR-WB: 0 (6.6) to
  // 8 (23.85).
  int amrMode = 0;
  // Discontinuous transmission: silence is sent as comfort noise, as mobile
  // uplinks do.
  bool dtx = false;
};

// "linear", "ulaw", "alaw", "gsm", "amr475" … "amr122" and "amrwb" (12.65
// kbit/s) or "amrwb660" … "amrwb2385", each AMR name with "-dtx" for
// discontinuous transmission.
std::optional<CodecKind> codecNamed(const std::string& name);
std::string codecName(const CodecKind& kind);

// Throws std::runtime_error when the codec library cannot set itself up.
std::unique_ptr<VoiceCodec> makeCodec(const CodecKind& kind);

}  // namespace qav::line
