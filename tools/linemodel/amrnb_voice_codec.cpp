#include "linemodel/codec_implementations.h"

#include <stdexcept>

extern "C" {
#include <opencore-amrnb/interf_dec.h>
#include <opencore-amrnb/interf_enc.h>
}

namespace qav::line {

namespace {

constexpr int kLargestFrameBytes = 32;  // 12.2 kbit/s: 31 bytes and the frame header

// AMR-NB as the 3GPP reference codec does it. With DTX the encoder's voice
// activity detector sends SID frames and then nothing, and the decoder fills
// the gap with comfort noise shaped like the last sound it heard.
class AmrNbVoiceCodec : public VoiceCodec {
 public:
  AmrNbVoiceCodec(int mode, bool dtx)
      : mode(static_cast<enum Mode>(mode)),
        encoder(Encoder_Interface_init(dtx ? 1 : 0)),
        decoder(Decoder_Interface_init()) {
    if (encoder == nullptr || decoder == nullptr) {
      release();
      throw std::runtime_error("AMR-NB-Codec konnte nicht angelegt werden");
    }
  }
  ~AmrNbVoiceCodec() override { release(); }
  AmrNbVoiceCodec(const AmrNbVoiceCodec&) = delete;
  AmrNbVoiceCodec& operator=(const AmrNbVoiceCodec&) = delete;

  void transcode(const std::int16_t* in, std::int16_t* out) override {
    short speech[kFrameSamples];
    for (std::size_t i = 0; i < kFrameSamples; ++i) speech[i] = in[i];
    unsigned char bits[kLargestFrameBytes + 8] = {};
    Encoder_Interface_Encode(encoder, mode, speech, bits, 0);
    Decoder_Interface_Decode(decoder, bits, speech, 0);
    for (std::size_t i = 0; i < kFrameSamples; ++i) out[i] = speech[i];
  }

 private:
  void release() {
    if (encoder != nullptr) Encoder_Interface_exit(encoder);
    if (decoder != nullptr) Decoder_Interface_exit(decoder);
    encoder = decoder = nullptr;
  }

  enum Mode mode;
  void* encoder;
  void* decoder;
};

}  // namespace

std::unique_ptr<VoiceCodec> makeAmrNbCodec(int mode, bool dtx) {
  if (mode < 0 || mode > 7) throw std::runtime_error("AMR-NB kennt nur die Modi 0 bis 7");
  return std::make_unique<AmrNbVoiceCodec>(mode, dtx);
}

}  // namespace qav::line
