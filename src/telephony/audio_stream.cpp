#include "telephony/audio_stream.h"

#include <re.h>

#include <map>
#include <vector>

#include "telephony/audio_formats.h"
#include "telephony/libre_compat.h"
#include "telephony/libre_error.h"
#include "telephony/media_ports.h"

namespace qav {
namespace {

constexpr std::size_t maximumPacketSamples = 1600;

std::string addressText(const struct sa& address) {
  char host[64] = {};
  if (sa_ntop(&address, host, sizeof host) != 0) return "";
  return std::string(host) + ":" + std::to_string(sa_port(&address));
}

}  // namespace

struct AudioStream::State {
  explicit State(AudioStreamOptions o) : options(std::move(o)) {}
  // Also when the stream's constructor fails half-way: a socket left open
  // would hand packets to a state that no longer exists. The socket first,
  // so that no receive handler runs on a half-destroyed state.
  ~State() {
    traversal.reset();
    mem_deref(rtp);
    mem_deref(sdp);
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  int decode(struct mbuf* description, bool isOffer);
  void negotiate();
  void receive(const struct rtp_header* header, struct mbuf* mb);
  void send(bool marker, int pt, std::uint32_t ts, const std::uint8_t* payload, std::size_t size);

  AudioStreamOptions options;
  struct rtp_sock* rtp = nullptr;
  struct sdp_session* sdp = nullptr;
  struct sdp_media* media = nullptr;
  // What the far end may send with, by payload type, and what we send with.
  std::map<int, G711Law> receivedLaws;
  std::optional<AudioCodec> sending;
  int eventPt = -1;
  std::unique_ptr<MediaTraversal> traversal;
  struct sa remote {};
  // The path the connectivity checks chose; it wins over the SDP address.
  std::optional<struct sa> chosenPath;
  std::uint32_t timestamp = rand_u32();
  std::uint32_t eventTimestamp = 0;
  bool eventPlaying = false;
  bool firstAudio = true;
};

void AudioStream::State::negotiate() {
  receivedLaws.clear();
  sending.reset();
  eventPt = -1;
  // The far end's formats in its order of preference; we send its first law.
  for (struct le* le = list_head(sdp_media_format_lst(media, false)); le; le = le->next) {
    const auto* format = static_cast<const struct sdp_format*>(le->data);
    if (!format->sup || !format->name || format->srate != 8000) continue;
    if (str_casecmp(format->name, telev_rtpfmt) == 0) {
      if (eventPt < 0) eventPt = format->pt;
    } else if (const auto law = g711LawNamed(format->name)) {
      receivedLaws[format->pt] = *law;
      if (!sending) sending = AudioCodec{*law, format->pt};
    }
  }
  if (!sdp_media_rport(media)) sending.reset();
  remote = chosenPath ? *chosenPath : *sdp_media_raddr(media);
  // An IPv6 media address cannot be reached from an IPv4 socket, nor the
  // other way round: a call with it would connect and stay silent.
  if (!sa_isset(&remote, SA_ALL) || sa_af(&remote) != sa_af(rtp_local(rtp))) sending.reset();
  if (!sending) receivedLaws.clear();
}

void AudioStream::State::receive(const struct rtp_header* header, struct mbuf* mb) {
  if (eventPt >= 0 && header->pt == eventPt) {
    if (options.onEvent) options.onEvent(header->ts, mbuf_buf(mb), mbuf_get_left(mb));
    return;
  }
  const auto law = receivedLaws.find(header->pt);
  if (law == receivedLaws.end() || !options.onAudio) return;
  const std::size_t count = std::min(mbuf_get_left(mb), maximumPacketSamples);
  std::int16_t samples[maximumPacketSamples];
  g711Decode(law->second, mbuf_buf(mb), count, samples);
  options.onAudio(header->ts, samples, count);
}

void AudioStream::State::send(bool marker, int pt, std::uint32_t ts, const std::uint8_t* payload, std::size_t size) {
  struct mbuf* mb = mbuf_alloc(RTP_HEADER_SIZE + size);
  if (!mb) return;
  mb->pos = mb->end = RTP_HEADER_SIZE;
  if (mbuf_write_mem(mb, payload, size) == 0) {
    mb->pos = RTP_HEADER_SIZE;
    // A lost packet is only a gap in the audio; nothing to report.
    (void)rtpSend(rtp, &remote, marker, static_cast<std::uint8_t>(pt), ts, mb);
  }
  mem_deref(mb);
}

AudioStream::AudioStream(AudioStreamOptions options) : state(std::make_unique<State>(std::move(options))) {
  State* s = state.get();
  struct sa address {};
  checkLibre(sa_set_str(&address, s->options.localIp.c_str(), 0));
  checkLibre(rtp_listen(
      &s->rtp, IPPROTO_UDP, &address, s->options.rtpPortMin, s->options.rtpPortMax, false,
      [](const struct sa*, const struct rtp_header* header, struct mbuf* mb, void* arg) {
        static_cast<State*>(arg)->receive(header, mb);
      },
      nullptr, s));
  checkLibre(sdp_session_alloc(&s->sdp, &address));
  checkLibre(sdp_media_add(&s->media, s->sdp, sdp_media_audio, sa_port(rtp_local(s->rtp)), sdp_proto_rtpavp));
  checkLibre(addAudioFormats(s->media, TelephoneEventPacer::packetMs));
  s->traversal = std::make_unique<MediaTraversal>(s->rtp, s->sdp, s->media, s->options.traversal, s->options.role,
                                                  [s](const struct sa& path) {
                                                    s->chosenPath = path;
                                                    if (s->sending) s->remote = path;
                                                    if (s->options.onPath) s->options.onPath(addressText(path));
                                                  });
}

AudioStream::~AudioStream() = default;

bool AudioStream::prepare(std::function<void()> onReady) { return state->traversal->gather(std::move(onReady)); }

int AudioStream::offer(struct mbuf** description) { return sdp_encode(description, state->sdp, true); }

int AudioStream::answer(struct mbuf** description) { return sdp_encode(description, state->sdp, false); }

int AudioStream::State::decode(struct mbuf* description, bool isOffer) {
  if (!description) return EINVAL;
  if (!mediaPortsInRange(description)) return EPROTO;
  const int err = sdp_decode(sdp, description, isOffer);
  if (err) return err;
  traversal->remoteDescribed();
  negotiate();
  return 0;
}

bool AudioStream::acceptAnswer(struct mbuf* description) {
  return state->decode(description, false) == 0 && negotiated();
}

int AudioStream::takeOffer(struct mbuf* offer) {
  const int err = state->decode(offer, true);
  if (err) return err;
  return negotiated() ? 0 : EPROTO;
}

int AudioStream::answerOffer(struct mbuf* offer, struct mbuf** description) {
  const int err = state->decode(offer, true);
  return err ? err : answer(description);
}

bool AudioStream::negotiated() const { return state->sending.has_value(); }

bool AudioStream::eventsAccepted() const { return state->eventPt >= 0; }

std::string AudioStream::describedRemote() const { return addressText(*sdp_media_raddr(state->media)); }

void AudioStream::sendTick(const std::int16_t* frame, std::size_t count, const std::optional<EventPacket>& event) {
  State& s = *state;
  if (!s.sending) return;
  if (event && s.eventPt >= 0) {
    // Every packet of one event carries the timestamp of its beginning.
    if (event->marker || !s.eventPlaying) s.eventTimestamp = s.timestamp;
    s.eventPlaying = true;
    s.send(event->marker, s.eventPt, s.eventTimestamp, event->payload.data(), event->payload.size());
  } else {
    s.eventPlaying = false;
    std::uint8_t payload[maximumPacketSamples];
    const std::size_t size = std::min(count, maximumPacketSamples);
    g711Encode(s.sending->law, frame, size, payload);
    s.send(s.firstAudio, s.sending->payloadType, s.timestamp, payload, size);
    s.firstAudio = false;
  }
  s.timestamp += static_cast<std::uint32_t>(count);
}

}  // namespace qav
