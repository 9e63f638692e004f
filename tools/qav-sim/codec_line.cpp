#include "qav-sim/codec_line.h"

namespace qav::sim {

namespace {

line::LineSpec codecsOnly(const line::LineSpec& spec) { return {spec.codecs, std::nullopt, std::nullopt}; }

}  // namespace

CodecLine::CodecLine(const line::LineSpec& spec) : downlink_(codecsOnly(spec)), uplink_(spec) {}

void CodecLine::toDevice(const std::int16_t* sent, std::int16_t* heard) { downlink_.pass(sent, nullptr, heard); }

void CodecLine::toCaller(const std::int16_t* answer, const std::int16_t* heard, std::int16_t* received) {
  uplink_.pass(answer, heard, received);
}

}  // namespace qav::sim
