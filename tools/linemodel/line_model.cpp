#include "linemodel/line_model.h"

#include <algorithm>
#include <cmath>

namespace qav::line {

namespace {

std::int16_t toPcm(double value) {
  return static_cast<std::int16_t>(std::clamp(std::round(value), -32768.0, 32767.0));
}

}  // namespace

std::optional<LineSpec> lineNamed(const std::string& names) {
  LineSpec spec;
  std::size_t at = 0;
  while (at <= names.size()) {
    const std::size_t end = std::min(names.find('+', at), names.size());
    const std::optional<CodecKind> kind = codecNamed(names.substr(at, end - at));
    if (!kind) return std::nullopt;
    spec.codecs.push_back(*kind);
    at = end + 1;
  }
  return spec;
}

std::string lineName(const LineSpec& spec) {
  if (spec.codecs.empty()) return "linear";
  std::string name;
  for (const CodecKind& kind : spec.codecs) {
    if (!name.empty()) name += '+';
    name += codecName(kind);
  }
  return name;
}

LineModel::LineModel(const LineSpec& spec) : echo(spec.echo) {
  for (const CodecKind& kind : spec.codecs) codecs.push_back(makeCodec(kind));
  if (spec.noise) noise.emplace(*spec.noise);
  if (echo) {
    echoLine.assign(std::max<std::size_t>(1, echo->delayMs * 8), 0);
    echoGain = std::pow(10.0, echo->gainDb / 20.0);
  }
}

void LineModel::pass(const std::int16_t* sent, const std::int16_t* farEnd, std::int16_t* received) {
  std::int16_t frame[kFrameSamples];
  for (std::size_t i = 0; i < kFrameSamples; ++i) {
    double value = sent[i];
    if (echo) {
      value += echoGain * echoLine[echoAt];
      echoLine[echoAt] = farEnd != nullptr ? farEnd[i] : 0;
      echoAt = (echoAt + 1) % echoLine.size();
    }
    if (noise) value += noise->next() * 32767.0;
    frame[i] = toPcm(value);
  }
  std::int16_t next[kFrameSamples];
  for (const auto& codec : codecs) {
    codec->transcode(frame, next);
    std::copy(next, next + kFrameSamples, frame);
  }
  std::copy(frame, frame + kFrameSamples, received);
}

std::vector<std::int16_t> LineModel::passAll(const std::vector<std::int16_t>& sent) {
  std::vector<std::int16_t> padded = sent;
  padded.resize((sent.size() + kFrameSamples - 1) / kFrameSamples * kFrameSamples, 0);
  std::vector<std::int16_t> out(padded.size());
  for (std::size_t at = 0; at < padded.size(); at += kFrameSamples)
    pass(&padded[at], nullptr, &out[at]);
  return out;
}

}  // namespace qav::line
