// What the caller's receive path does with RTP packets from the far end:
// libre's header decoding, the payload-type check, G.711 decoding and the
// jitter buffer, drained at the media clock's pace. The path itself is a
// file-local handler of audio_stream.cpp; this repeats its three steps on
// the public pieces. Every sample played out is silence or a decoded byte.
#include <fuzzer/FuzzedDataProvider.h>
#include <re.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "audio/g711.h"
#include "telephony/audio_formats.h"
#include "telephony/jitter_buffer.h"

namespace {

using qav::fuzz::check;

constexpr std::size_t kLargestPacketSamples = 1600;
struct rtp_sock* rtpSocket = nullptr;

std::set<std::int16_t> decodable(qav::G711Law law) {
  std::set<std::int16_t> values{0};
  for (int byte = 0; byte < 256; ++byte) {
    const std::uint8_t in = static_cast<std::uint8_t>(byte);
    std::int16_t out = 0;
    qav::g711Decode(law, &in, 1, &out);
    values.insert(out);
  }
  return values;
}

void receive(const qav::AudioCodec& codec, qav::JitterBuffer& buffer, const std::vector<std::uint8_t>& packet) {
  struct mbuf* mb = mbuf_alloc(packet.size() + 1);
  check(mb != nullptr, "out of memory");
  if (!packet.empty()) check(mbuf_write_mem(mb, packet.data(), packet.size()) == 0, "out of memory");
  mb->pos = 0;
  struct rtp_header header {};
  if (rtp_decode(rtpSocket, mb, &header) == 0 && header.pt == codec.payloadType) {
    const std::size_t count = std::min(mbuf_get_left(mb), kLargestPacketSamples);
    std::int16_t samples[kLargestPacketSamples];
    qav::g711Decode(codec.law, mbuf_buf(mb), count, samples);
    buffer.put(header.ts, samples, count);
  }
  mem_deref(mb);
}

// A version 2 header built from fields of the input, so that most packets
// get past the header checks: CSRCs, an extension and padding included.
std::vector<std::uint8_t> structuredPacket(FuzzedDataProvider& input, int payloadType) {
  const std::uint8_t flags = input.ConsumeIntegral<std::uint8_t>();
  const int csrcs = flags & 0x0f;
  const bool extension = flags & 0x10;
  const bool padding = flags & 0x20;
  const bool otherType = (flags & 0xc0) == 0xc0;
  const std::uint8_t type = otherType ? input.ConsumeIntegral<std::uint8_t>() & 0x7f : payloadType;
  std::vector<std::uint8_t> packet{static_cast<std::uint8_t>(0x80 | (padding ? 0x20 : 0) | (extension ? 0x10 : 0) | csrcs),
                                   static_cast<std::uint8_t>((flags & 0x40 ? 0x80 : 0) | type)};
  for (int i = 0; i < 10 + 4 * csrcs; ++i) packet.push_back(input.ConsumeIntegral<std::uint8_t>());
  if (extension) {
    const std::uint8_t words = input.ConsumeIntegralInRange<std::uint8_t>(0, 8);
    packet.insert(packet.end(), {0xbe, 0xde, 0, words});
    for (int i = 0; i < 4 * words; ++i) packet.push_back(input.ConsumeIntegral<std::uint8_t>());
  }
  const std::size_t samples = input.ConsumeIntegralInRange<std::size_t>(0, 1700);
  const std::vector<std::uint8_t> payload = input.ConsumeBytes<std::uint8_t>(samples);
  packet.insert(packet.end(), payload.begin(), payload.end());
  if (padding) packet.push_back(input.ConsumeIntegral<std::uint8_t>());
  return packet;
}

// One sender's packets of 20 ms with consecutive timestamps (from anywhere,
// across the 32-bit wrap too), each delayed, and perhaps repeated, by up to
// D packet times, one take per packet time. With a prefetch above that
// jitter, what plays out must be one unbroken run of what was sent: nothing
// lost in between, nothing twice, nothing out of order.
void jitteredStream(FuzzedDataProvider& input) {
  constexpr std::size_t kFrame = 160;
  const bool asDeployed = input.ConsumeBool();
  const int jitter = asDeployed ? input.ConsumeIntegralInRange<int>(0, 1) : input.ConsumeIntegralInRange<int>(0, 4);
  const std::uint32_t prefetch = asDeployed ? 2 * kFrame
                                            : (jitter + 1 + input.ConsumeIntegralInRange<int>(0, 3)) * kFrame;
  const std::uint32_t capacity = asDeployed ? 10 * kFrame : prefetch + (4 * (jitter + 1) + 10) * kFrame;
  qav::JitterBuffer buffer(prefetch, capacity);
  const std::uint32_t start = input.ConsumeIntegral<std::uint32_t>();
  const int packets = input.ConsumeIntegralInRange<int>(1, 150);

  // arrivals[t]: the packets arriving in packet time t, in arrival order.
  std::vector<std::vector<int>> arrivals(static_cast<std::size_t>(packets + jitter + 1));
  for (int i = 0; i < packets; ++i) {
    arrivals[static_cast<std::size_t>(i + input.ConsumeIntegralInRange<int>(0, jitter))].push_back(i);
    if (input.ConsumeIntegralInRange<int>(0, 7) == 0)
      arrivals[static_cast<std::size_t>(i + input.ConsumeIntegralInRange<int>(0, jitter))].push_back(i);
  }
  for (auto& slot : arrivals)
    if (slot.size() > 1 && input.ConsumeBool()) std::swap(slot.front(), slot.back());

  // Sample n of the stream is n + 1: never silence, and tells its place.
  const auto sample = [](std::size_t n) { return static_cast<std::int16_t>(n % 32000 + 1); };
  std::vector<std::int16_t> played;
  std::int16_t frame[kFrame];
  const std::size_t ticks = arrivals.size() + 4 * (jitter + 1) + 20;
  for (std::size_t t = 0; t < ticks; ++t) {
    for (int i : t < arrivals.size() ? arrivals[t] : std::vector<int>{}) {
      std::int16_t samples[kFrame];
      for (std::size_t k = 0; k < kFrame; ++k) samples[k] = sample(static_cast<std::size_t>(i) * kFrame + k);
      buffer.put(start + static_cast<std::uint32_t>(i) * kFrame, samples, kFrame);
    }
    buffer.take(frame, kFrame);
    for (std::int16_t value : frame)
      if (value != 0) played.push_back(value);
  }
  if (played.empty()) return;
  const std::size_t first = static_cast<std::size_t>(played.front() - 1);
  check(first % kFrame == 0, "play-out began inside a packet");
  for (std::size_t n = 0; n < played.size(); ++n)
    if (played[n] != sample(first + n))
      qav::fuzz::fail("played stream has a gap, a repeat or a swap at sample " + std::to_string(n) +
                      " (prefetch " + std::to_string(prefetch) + ", jitter " + std::to_string(jitter) +
                      " packets)");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  check(libre_init() == 0, "libre_init failed");
  struct sa local {};
  check(sa_set_str(&local, "127.0.0.1", 0) == 0, "no loopback address");
  // Only for rtp_decode's bookkeeping; nothing is sent or read from it.
  const auto ignore = [](const struct sa*, const struct rtp_header*, struct mbuf*, void*) {};
  check(rtp_listen(&rtpSocket, IPPROTO_UDP, &local, 20000, 29999, false, ignore, nullptr, nullptr) == 0,
        "no RTP socket on loopback");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  if (input.ConsumeIntegralInRange<int>(0, 3) == 0) {
    jitteredStream(input);
    return 0;
  }
  const bool alaw = input.ConsumeBool();
  const qav::AudioCodec codec{alaw ? qav::G711Law::ALaw : qav::G711Law::MuLaw, alaw ? 8 : 0};
  static const std::set<std::int16_t> muValues = decodable(qav::G711Law::MuLaw);
  static const std::set<std::int16_t> aValues = decodable(qav::G711Law::ALaw);
  const std::set<std::int16_t>& values = alaw ? aValues : muValues;

  qav::JitterBuffer buffer(input.ConsumeIntegralInRange<std::uint32_t>(0, 4000),
                           input.ConsumeIntegralInRange<std::uint32_t>(0, 16000));
  std::vector<std::int16_t> out;
  while (input.remaining_bytes() > 0) {
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
      case 0: {
        const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 1700);
        receive(codec, buffer, input.ConsumeBytes<std::uint8_t>(length));
        break;
      }
      case 1:
        receive(codec, buffer, structuredPacket(input, codec.payloadType));
        break;
      case 2: {
        out.assign(input.ConsumeIntegralInRange<std::size_t>(0, 1600), 1);
        const bool received = buffer.take(out.data(), out.size());
        for (std::int16_t sample : out) {
          check(values.count(sample) == 1, "played a sample no packet carried");
          check(received || sample == 0, "nothing received but not silent");
        }
        break;
      }
      default:
        buffer.clear();
        break;
    }
  }
  return 0;
}
