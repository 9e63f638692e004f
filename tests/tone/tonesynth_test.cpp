#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "tone/goertzel.h"
#include "tonesynth/dtmf_digits.h"
#include "tonesynth/pcm_render.h"

extern "C" {
#include <re_mem.h>
#include <re_types.h>
#include <rem_dtmf.h>
}

namespace qav {
namespace {

double rms(const std::vector<std::int16_t>& pcm) {
  double energy = 0;
  for (std::int16_t s : pcm) energy += (s / 32767.0) * (s / 32767.0);
  return std::sqrt(energy / pcm.size());
}

void collectDigit(char digit, void* arg) { static_cast<std::string*>(arg)->push_back(digit); }

// An independent DTMF receiver must hear every Q.23 pair as its own key.
TEST(ToneSynth, DtmfDigitsDecodeAsTheirKeys) {
  const std::string keys = "1234567890*#";
  RenderOptions options;
  options.levelDbfs = -10;
  const auto pcm = render(ToneTrack(dtmfDigits(keys, 80, 80)).add(pause(100)), options);
  std::string heard;
  dtmf_dec* decoder = nullptr;
  ASSERT_EQ(dtmf_dec_alloc(&decoder, 8000, 1, collectDigit, &heard), 0);
  dtmf_dec_probe(decoder, pcm.data(), pcm.size());
  mem_deref(decoder);
  EXPECT_EQ(heard, keys);
  EXPECT_THROW(dtmfDigits("12A", 80, 80), std::invalid_argument);
}

TEST(ToneSynth, LevelIsRmsOfAFullScaleSineSharedAmongTones) {
  RenderOptions options;
  options.levelDbfs = -20;
  const double expected = 0.1 / std::sqrt(2.0);
  EXPECT_NEAR(rms(render(ToneTrack{{tone({1000}, 1000)}}, options)), expected, expected * 0.01);
  EXPECT_NEAR(rms(render(ToneTrack{{tone({925, 1054, 1183}, 1000)}}, options)), expected,
              expected * 0.01);
  options.levelDbfs = 6;  // beyond full scale: clipped, never wrapped
  const auto loud = render(ToneTrack{{tone({1000}, 100)}}, options);
  EXPECT_EQ(*std::max_element(loud.begin(), loud.end()), 32767);
  EXPECT_EQ(*std::min_element(loud.begin(), loud.end()), -32768);
}

TEST(ToneSynth, FrequencyOffsetScalesEveryTone) {
  RenderOptions options;
  options.frequencyOffsetPercent = 5.0;
  const auto pcm = render(ToneTrack{{tone({2000}, 20)}}, options);
  EXPECT_NEAR(toneLevel(8000, pcm.data(), pcm.size(), 2100), std::sqrt(2.0), 0.01);
  EXPECT_LT(toneLevel(8000, pcm.data(), pcm.size(), 2000), 0.5);
}

TEST(ToneSynth, NoiseIsSeededAndAtItsLevel) {
  RenderOptions options;
  options.noiseDbfs = -30;
  const ToneTrack quiet{{pause(2000)}};
  const auto first = render(quiet, options);
  EXPECT_EQ(render(quiet, options), first);
  options.noiseSeed = 2;
  EXPECT_NE(render(quiet, options), first);
  const double expected = std::pow(10.0, -30 / 20.0) / std::sqrt(2.0);
  EXPECT_NEAR(rms(first), expected, expected * 0.03);
}

}  // namespace
}  // namespace qav
