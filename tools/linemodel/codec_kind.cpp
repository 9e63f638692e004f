#include "linemodel/codec_kind.h"

#include <cstddef>
#include <stdexcept>

#include "linemodel/codec_implementations.h"

namespace qav::line {

namespace {

// Index = mode, as the rate appears in the name.
constexpr const char* kAmrNbRates[] = {"475", "515", "59", "67", "74", "795", "102", "122"};
constexpr const char* kAmrWbRates[] = {"660",  "885",  "1265", "1425", "1585",
                                       "1825", "1985", "2305", "2385"};
constexpr int kAmrWbDefaultMode = 2;  // 12.65 kbit/s, the usual mobile wideband rate

bool takeSuffix(std::string& name, const std::string& suffix) {
  if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
    return false;
  name.resize(name.size() - suffix.size());
  return true;
}

template <std::size_t N>
std::optional<int> rateIndex(const std::string& rate, const char* const (&rates)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    if (rate == rates[i]) return static_cast<int>(i);
  return std::nullopt;
}

std::optional<CodecKind> amrNamed(const std::string& name, bool dtx) {
  if (name == "amrwb") return CodecKind{CodecFamily::AmrWb, kAmrWbDefaultMode, dtx};
  if (name.rfind("amrwb", 0) == 0) {
    const auto mode = rateIndex(name.substr(5), kAmrWbRates);
    if (mode) return CodecKind{CodecFamily::AmrWb, *mode, dtx};
    return std::nullopt;
  }
  if (name.rfind("amr", 0) == 0) {
    const auto mode = rateIndex(name.substr(3), kAmrNbRates);
    if (mode) return CodecKind{CodecFamily::AmrNb, *mode, dtx};
  }
  return std::nullopt;
}

}  // namespace

std::optional<CodecKind> codecNamed(const std::string& text) {
  if (text == "linear") return CodecKind{CodecFamily::Linear};
  if (text == "ulaw") return CodecKind{CodecFamily::MuLaw};
  if (text == "alaw") return CodecKind{CodecFamily::ALaw};
  if (text == "gsm") return CodecKind{CodecFamily::Gsm};
  std::string name = text;
  const bool dtx = takeSuffix(name, "-dtx");
  return amrNamed(name, dtx);
}

std::string codecName(const CodecKind& kind) {
  const std::string dtx = kind.dtx ? "-dtx" : "";
  switch (kind.family) {
    case CodecFamily::Linear: return "linear";
    case CodecFamily::MuLaw: return "ulaw";
    case CodecFamily::ALaw: return "alaw";
    case CodecFamily::Gsm: return "gsm";
    case CodecFamily::AmrNb: return std::string("amr") + kAmrNbRates[kind.amrMode & 7] + dtx;
    case CodecFamily::AmrWb:
      if (kind.amrMode == kAmrWbDefaultMode) return "amrwb" + dtx;
      return std::string("amrwb") + kAmrWbRates[kind.amrMode % 9] + dtx;
  }
  return "linear";
}

std::unique_ptr<VoiceCodec> makeCodec(const CodecKind& kind) {
  switch (kind.family) {
    case CodecFamily::Linear: return makeLinearCodec();
    case CodecFamily::MuLaw: return makeG711Codec(false);
    case CodecFamily::ALaw: return makeG711Codec(true);
    case CodecFamily::Gsm: return makeGsmCodec();
    case CodecFamily::AmrNb: return makeAmrNbCodec(kind.amrMode, kind.dtx);
    case CodecFamily::AmrWb: return makeAmrWbCodec(kind.amrMode, kind.dtx);
  }
  throw std::runtime_error("unbekannter Codec");
}

}  // namespace qav::line
