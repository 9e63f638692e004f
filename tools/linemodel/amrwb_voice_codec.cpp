#include "linemodel/codec_implementations.h"

#include <samplerate.h>

#include <algorithm>
#include <deque>
#include <stdexcept>
#include <string>

extern "C" {
#include <opencore-amrwb/dec_if.h>
#include <vo-amrwbenc/enc_if.h>
}

namespace qav::line {

namespace {

constexpr std::size_t kWideFrameSamples = 320;  // 20 ms at 16000 Hz
constexpr int kLargestFrameBytes = 61;          // 23.85 kbit/s and the header

// One streaming sample-rate converter; its output may lag its input by a few
// samples, which the FIFOs of the codec absorb.
class RateConverter {
 public:
  explicit RateConverter(double ratio) : ratio(ratio) {
    int error = 0;
    state = src_new(SRC_SINC_FASTEST, 1, &error);
    if (state == nullptr) throw std::runtime_error(std::string("Abtastratenwandler: ") + src_strerror(error));
  }
  ~RateConverter() { src_delete(state); }
  RateConverter(const RateConverter&) = delete;
  RateConverter& operator=(const RateConverter&) = delete;

  void convert(const std::int16_t* in, std::size_t count, std::deque<float>& out) {
    float input[kWideFrameSamples];
    float output[2 * kWideFrameSamples + 64];
    for (std::size_t i = 0; i < count; ++i) input[i] = in[i] / 32768.0f;
    SRC_DATA data{};
    data.data_in = input;
    data.input_frames = static_cast<long>(count);
    data.data_out = output;
    data.output_frames = static_cast<long>(std::size(output));
    data.src_ratio = ratio;
    if (src_process(state, &data) != 0) return;
    out.insert(out.end(), output, output + data.output_frames_gen);
  }

 private:
  double ratio;
  SRC_STATE* state = nullptr;
};

std::int16_t toPcm(float value) {
  return static_cast<std::int16_t>(std::clamp(value * 32768.0f, -32768.0f, 32767.0f));
}

// AMR-WB at 16 kHz between two 8 kHz legs, as a wideband mobile call reaches
// a narrowband line: up-sampled, encoded, decoded, down-sampled.
class AmrWbVoiceCodec : public VoiceCodec {
 public:
  AmrWbVoiceCodec(int mode, bool dtx)
      : mode(mode), dtx(dtx), encoder(E_IF_init()), decoder(D_IF_init()), up(2.0), down(0.5) {
    if (encoder == nullptr || decoder == nullptr) {
      release();
      throw std::runtime_error("AMR-WB-Codec konnte nicht angelegt werden");
    }
  }
  ~AmrWbVoiceCodec() override { release(); }
  AmrWbVoiceCodec(const AmrWbVoiceCodec&) = delete;
  AmrWbVoiceCodec& operator=(const AmrWbVoiceCodec&) = delete;

  void transcode(const std::int16_t* in, std::int16_t* out) override {
    up.convert(in, kFrameSamples, wide);
    while (wide.size() >= kWideFrameSamples) widebandFrame();
    for (std::size_t i = 0; i < kFrameSamples; ++i) {
      if (narrow.empty()) {
        out[i] = 0;  // the converters' start-up delay
        continue;
      }
      out[i] = toPcm(narrow.front());
      narrow.pop_front();
    }
  }

 private:
  void widebandFrame() {
    short speech[kWideFrameSamples];
    for (std::size_t i = 0; i < kWideFrameSamples; ++i) speech[i] = toPcm(wide[i]);
    wide.erase(wide.begin(), wide.begin() + kWideFrameSamples);
    unsigned char bits[kLargestFrameBytes + 8] = {};
    E_IF_encode(encoder, mode, speech, bits, dtx ? 1 : 0);
    D_IF_decode(decoder, bits, speech, 0);
    std::int16_t decoded[kWideFrameSamples];
    std::copy(speech, speech + kWideFrameSamples, decoded);
    down.convert(decoded, kWideFrameSamples, narrow);
  }

  void release() {
    if (encoder != nullptr) E_IF_exit(encoder);
    if (decoder != nullptr) D_IF_exit(decoder);
    encoder = decoder = nullptr;
  }

  int mode;
  bool dtx;
  void* encoder;
  void* decoder;
  RateConverter up;
  RateConverter down;
  std::deque<float> wide;
  std::deque<float> narrow;
};

}  // namespace

std::unique_ptr<VoiceCodec> makeAmrWbCodec(int mode, bool dtx) {
  if (mode < 0 || mode > 8) throw std::runtime_error("AMR-WB kennt nur die Modi 0 bis 8");
  return std::make_unique<AmrWbVoiceCodec>(mode, dtx);
}

}  // namespace qav::line
