// The constructors of each codec family, one source file each, behind the
// one factory of codec_kind.h.
#pragma once

#include <memory>

#include "linemodel/voice_codec.h"

namespace qav::line {

std::unique_ptr<VoiceCodec> makeLinearCodec();
std::unique_ptr<VoiceCodec> makeG711Codec(bool aLaw);
std::unique_ptr<VoiceCodec> makeGsmCodec();
std::unique_ptr<VoiceCodec> makeAmrNbCodec(int mode, bool dtx);
std::unique_ptr<VoiceCodec> makeAmrWbCodec(int mode, bool dtx);

}  // namespace qav::line
