#include "linemodel/codec_implementations.h"

#include <algorithm>

#include "tonesynth/g711_line.h"

namespace qav::line {

namespace {

// G.711 keeps no state: each sample is companded on its own.
class G711VoiceCodec : public VoiceCodec {
 public:
  explicit G711VoiceCodec(G711Law law) : law(law) {}

  void transcode(const std::int16_t* in, std::int16_t* out) override {
    g711RoundTrip(in, kFrameSamples, law, out);
  }

 private:
  G711Law law;
};

class LinearVoiceCodec : public VoiceCodec {
 public:
  void transcode(const std::int16_t* in, std::int16_t* out) override {
    std::copy(in, in + kFrameSamples, out);
  }
};

}  // namespace

std::unique_ptr<VoiceCodec> makeLinearCodec() { return std::make_unique<LinearVoiceCodec>(); }

std::unique_ptr<VoiceCodec> makeG711Codec(bool aLaw) {
  return std::make_unique<G711VoiceCodec>(aLaw ? G711Law::ALaw : G711Law::MuLaw);
}

}  // namespace qav::line
