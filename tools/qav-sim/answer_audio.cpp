#include "qav-sim/answer_audio.h"

#include "tonesynth/answer_patterns.h"
#include "tonesynth/pcm_render.h"

namespace qav::sim {

std::vector<std::int16_t> renderAnswer(Signal pattern, const LineConditions& line,
                                       std::uint32_t noiseSeed) {
  RenderOptions options;
  options.levelDbfs = line.levelDbfs;
  options.noiseDbfs = line.noiseDbfs;
  options.frequencyOffsetPercent = line.frequencyOffsetPercent;
  options.noiseSeed = noiseSeed;
  return render(answerPattern(pattern), options);
}

std::chrono::milliseconds answerDuration(Signal pattern) {
  return std::chrono::milliseconds(answerPattern(pattern).durationMs());
}

}  // namespace qav::sim
