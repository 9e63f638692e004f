#include "linemodel/codec_implementations.h"

#include <stdexcept>

extern "C" {
#include <gsm.h>
}

namespace qav::line {

namespace {

constexpr int kGsmFrameBytes = 33;

// GSM 06.10 full rate: 160 samples in 33 bytes, the classic mobile codec.
class GsmVoiceCodec : public VoiceCodec {
 public:
  GsmVoiceCodec() : encoder(gsm_create()), decoder(gsm_create()) {
    if (encoder == nullptr || decoder == nullptr) {
      release();
      throw std::runtime_error("GSM-06.10-Codec konnte nicht angelegt werden");
    }
  }
  ~GsmVoiceCodec() override { release(); }
  GsmVoiceCodec(const GsmVoiceCodec&) = delete;
  GsmVoiceCodec& operator=(const GsmVoiceCodec&) = delete;

  void transcode(const std::int16_t* in, std::int16_t* out) override {
    gsm_signal frame[kFrameSamples];
    for (std::size_t i = 0; i < kFrameSamples; ++i) frame[i] = in[i];
    gsm_byte bits[kGsmFrameBytes];
    gsm_encode(encoder, frame, bits);
    if (gsm_decode(decoder, bits, frame) != 0) {
      for (std::size_t i = 0; i < kFrameSamples; ++i) frame[i] = 0;
    }
    for (std::size_t i = 0; i < kFrameSamples; ++i) out[i] = frame[i];
  }

 private:
  void release() {
    if (encoder != nullptr) gsm_destroy(encoder);
    if (decoder != nullptr) gsm_destroy(decoder);
    encoder = decoder = nullptr;
  }

  gsm encoder;
  gsm decoder;
};

}  // namespace

std::unique_ptr<VoiceCodec> makeGsmCodec() { return std::make_unique<GsmVoiceCodec>(); }

}  // namespace qav::line
