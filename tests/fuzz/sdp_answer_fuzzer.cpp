// SDP from the far end into the audio stream of both sides: the caller's
// (the answer to its offer, an offer in a re-INVITE) and the answering
// side's (the caller's offer). Only negotiation runs; nothing is sent.
#include <re.h>

#include <cstdint>
#include <cstring>
#include <string_view>

#include "fuzz_check.h"
#include "telephony/audio_stream.h"
#include "telephony/jitter_buffer.h"

namespace {

using qav::fuzz::check;

constexpr const char* kLoopback = "127.0.0.1";

struct mbuf* bodyOf(const std::uint8_t* data, std::size_t size) {
  struct mbuf* mb = mbuf_alloc(size + 1);
  check(mb != nullptr, "out of memory");
  if (size) check(mbuf_write_mem(mb, data, size) == 0, "out of memory");
  mb->pos = 0;
  return mb;
}

// What we answer must itself be SDP a peer can read: our own session, as
// the far end would decode it.
void checkOwnAnswer(struct mbuf* answer) {
  check(answer != nullptr, "answer reported but not written");
  const std::string_view text(reinterpret_cast<const char*>(answer->buf), answer->end);
  check(text.substr(0, 5) == "v=0\r\n", "answer does not begin with v=0");
  check(text.find("m=audio ") != std::string_view::npos, "answer without its audio stream");
}

void callerSide(int mode, struct mbuf* body) {
  qav::JitterBuffer received(320, 3200);
  qav::AudioStreamOptions options;
  options.localIp = kLoopback;
  options.onAudio = [&received](std::uint32_t ts, const std::int16_t* samples, std::size_t count) {
    received.put(ts, samples, count);
  };
  qav::AudioStream stream(std::move(options));
  struct mbuf* offer = nullptr;
  check(stream.offer(&offer) == 0, "no offer of our own");
  mem_deref(offer);
  if (mode != 1) {
    const bool accepted = stream.acceptAnswer(body);
    check(accepted == stream.negotiated(), "answer accepted without a codec, or the reverse");
    body->pos = 0;
  }
  if (mode != 0) {
    struct mbuf* answer = nullptr;
    if (stream.answerOffer(body, &answer) == 0) checkOwnAnswer(answer);
    mem_deref(answer);
  }
}

void answeringSide(int mode, struct mbuf* body) {
  qav::JitterBuffer received(320, 3200);
  qav::AudioStreamOptions options;
  options.localIp = kLoopback;
  options.role = qav::IceRole::Controlled;
  options.onAudio = [&received](std::uint32_t ts, const std::int16_t* samples, std::size_t count) {
    received.put(ts, samples, count);
  };
  options.onEvent = [](std::uint32_t, const std::uint8_t*, std::size_t) {};
  qav::AudioStream media(std::move(options));
  if (mode == 0) {
    struct mbuf* offer = nullptr;
    check(media.offer(&offer) == 0, "no offer of our own");
    mem_deref(offer);
    check(media.acceptAnswer(body) == media.negotiated(), "answer accepted without a codec, or the reverse");
    return;
  }
  struct mbuf* answer = nullptr;
  const int err = media.takeOffer(body);
  if (err == 0) check(media.answer(&answer) == 0, "no answer to an accepted offer");
  if (err == 0) {
    check(media.negotiated(), "offer answered without a codec");
    checkOwnAnswer(answer);
  }
  mem_deref(answer);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  check(libre_init() == 0, "libre_init failed");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // First byte: which side, and answer, re-INVITE offer or both in turn.
  const bool simulator = data[0] & 1;
  const int mode = (data[0] >> 1) % 3;
  struct mbuf* body = bodyOf(data + 1, size - 1);
  if (simulator) {
    answeringSide(mode, body);
  } else {
    callerSide(mode, body);
  }
  mem_deref(body);
  return 0;
}
