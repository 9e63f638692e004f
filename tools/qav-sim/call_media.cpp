#include "qav-sim/call_media.h"

#include <re.h>

#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

#include "telephony/audio_formats.h"
#include "telephony/g711_codec.h"
#include "telephony/jitter_buffer.h"
#include "telephony/libre_compat.h"
#include "telephony/libre_error.h"
#include "telephony/media_ports.h"

namespace qav::sim {

namespace {

constexpr std::uint16_t kRtpPortMin = 40000;
constexpr std::uint16_t kRtpPortMax = 49999;
constexpr std::uint32_t kPacketMs = 20;
constexpr std::size_t kLargestPacketSamples = 1600;

void check(int err) {
  if (err) throw std::runtime_error(libreErrorText(err));
}

}  // namespace

struct CallMedia::State {
  State(JitterBuffer& buffer, EventHandler handler) : received(buffer), onEvent(std::move(handler)) {}
  // Also when the constructor fails after rtp_listen: the socket goes first,
  // so that its handler never runs on a freed state.
  ~State() {
    traversal.reset();
    mem_deref(rtp);
    mem_deref(sdp);
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  void negotiate();
  void receive(const struct rtp_header* header, struct mbuf* mb);

  JitterBuffer& received;
  EventHandler onEvent;
  struct rtp_sock* rtp = nullptr;
  struct sdp_session* sdp = nullptr;
  struct sdp_media* media = nullptr;
  // What the caller sends with, by payload type, and what we send with.
  std::map<int, G711Law> receivedLaws;
  std::optional<AudioCodec> sending;
  int eventPt = -1;
  std::unique_ptr<MediaTraversal> traversal;
  struct sa remote {};
  // The path the connectivity checks chose; it wins over the SDP address.
  std::optional<struct sa> chosenPath;
  std::uint32_t timestamp = rand_u32();
  bool firstPacket = true;
};

void CallMedia::State::negotiate() {
  receivedLaws.clear();
  sending.reset();
  eventPt = -1;
  // The caller's formats in its order of preference; we send its first law.
  for (struct le* le = list_head(sdp_media_format_lst(media, false)); le; le = le->next) {
    const auto* format = static_cast<const struct sdp_format*>(le->data);
    if (!format->sup || !format->name || format->srate != 8000) continue;
    if (str_casecmp(format->name, telev_rtpfmt) == 0) {
      eventPt = format->pt;
    } else if (const auto law = g711LawNamed(format->name)) {
      receivedLaws[format->pt] = *law;
      if (!sending) sending = AudioCodec{*law, format->pt};
    }
  }
  remote = chosenPath ? *chosenPath : *sdp_media_raddr(media);
  if (!sa_isset(&remote, SA_ALL) || sa_af(&remote) != sa_af(rtp_local(rtp))) sending.reset();
}

void CallMedia::State::receive(const struct rtp_header* header, struct mbuf* mb) {
  if (eventPt >= 0 && header->pt == eventPt) {
    onEvent(header->ts, mbuf_buf(mb), mbuf_get_left(mb));
    return;
  }
  const auto law = receivedLaws.find(header->pt);
  if (law == receivedLaws.end()) return;
  const std::size_t count = std::min(mbuf_get_left(mb), kLargestPacketSamples);
  std::int16_t samples[kLargestPacketSamples];
  g711Decode(law->second, mbuf_buf(mb), count, samples);
  received.put(header->ts, samples, count);
}

CallMedia::CallMedia(const std::string& localIp, JitterBuffer& received, EventHandler onEvent,
                     const TraversalSettings& traversal, PathHandler onPath)
    : state(std::make_unique<State>(received, std::move(onEvent))) {
  struct sa address {};
  check(sa_set_str(&address, localIp.c_str(), 0));
  check(rtp_listen(
      &state->rtp, IPPROTO_UDP, &address, kRtpPortMin, kRtpPortMax, false,
      [](const struct sa*, const struct rtp_header* header, struct mbuf* mb, void* arg) {
        static_cast<State*>(arg)->receive(header, mb);
      },
      nullptr, state.get()));
  check(sdp_session_alloc(&state->sdp, &address));
  check(sdp_media_add(&state->media, state->sdp, sdp_media_audio, sa_port(rtp_local(state->rtp)),
                      sdp_proto_rtpavp));
  check(addAudioFormats(state->media, kPacketMs));
  State* s = state.get();
  s->traversal = std::make_unique<MediaTraversal>(
      s->rtp, s->sdp, s->media, traversal, IceRole::Controlled, [s, onPath](const struct sa& path) {
        s->chosenPath = path;
        if (s->sending) s->remote = path;
        char host[64] = {};
        if (onPath && sa_ntop(&path, host, sizeof host) == 0) {
          onPath(std::string(host) + ":" + std::to_string(sa_port(&path)));
        }
      });
}

CallMedia::~CallMedia() = default;

int CallMedia::answerOffer(struct mbuf* offer, struct mbuf** description) {
  const int err = takeOffer(offer);
  return err ? err : answer(description);
}

int CallMedia::takeOffer(struct mbuf* offer) {
  if (!offer) return EINVAL;
  if (!mediaPortsInRange(offer)) return EPROTO;
  const int err = sdp_decode(state->sdp, offer, true);
  if (err) return err;
  state->traversal->remoteDescribed();
  state->negotiate();
  return negotiated() ? 0 : EPROTO;
}

int CallMedia::answer(struct mbuf** description) { return sdp_encode(description, state->sdp, false); }

int CallMedia::offer(struct mbuf** description) { return sdp_encode(description, state->sdp, true); }

bool CallMedia::prepare(std::function<void()> onReady) { return state->traversal->gather(std::move(onReady)); }

bool CallMedia::acceptAnswer(struct mbuf* answer) {
  if (!answer || !mediaPortsInRange(answer) || sdp_decode(state->sdp, answer, false) != 0) return false;
  state->traversal->remoteDescribed();
  state->negotiate();
  return negotiated();
}

bool CallMedia::negotiated() const { return state->sending.has_value(); }

void CallMedia::send(const std::int16_t* frame, std::size_t count) {
  if (!state->sending) return;
  struct mbuf* mb = mbuf_alloc(RTP_HEADER_SIZE + count);
  if (!mb) return;
  std::vector<std::uint8_t> payload(count);
  g711Encode(state->sending->law, frame, count, payload.data());
  mb->pos = mb->end = RTP_HEADER_SIZE;
  if (mbuf_write_mem(mb, payload.data(), payload.size()) == 0) {
    mb->pos = RTP_HEADER_SIZE;
    // A lost packet is a gap in the audio, nothing to report.
    (void)rtpSend(state->rtp, &state->remote, state->firstPacket,
                   static_cast<std::uint8_t>(state->sending->payloadType), state->timestamp, mb);
    state->firstPacket = false;
  }
  mem_deref(mb);
  state->timestamp += static_cast<std::uint32_t>(count);
}

}  // namespace qav::sim
