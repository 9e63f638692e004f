#include "telephony/audio_stream.h"

#include <re.h>

#include <vector>

#include "telephony/audio_formats.h"
#include "telephony/g711_codec.h"
#include "telephony/jitter_buffer.h"
#include "telephony/libre_compat.h"
#include "telephony/libre_error.h"
#include "telephony/media_ports.h"

namespace qav {
namespace {

constexpr std::uint16_t rtpPortMin = 16384;
constexpr std::uint16_t rtpPortMax = 32767;
constexpr std::size_t maximumPacketSamples = 1600;

}  // namespace

struct AudioStream::State {
  explicit State(JitterBuffer& buffer) : received(buffer) {}
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

  JitterBuffer& received;
  struct rtp_sock* rtp = nullptr;
  struct sdp_session* sdp = nullptr;
  struct sdp_media* media = nullptr;
  std::optional<AudioCodec> codec;
  int eventPt = -1;
  std::unique_ptr<MediaTraversal> traversal;
  struct sa remote {};
  // The path the connectivity checks chose; it wins over the SDP address.
  std::optional<struct sa> chosenPath;
  std::uint32_t timestamp = rand_u32();
  std::uint32_t eventTimestamp = 0;
  bool eventPlaying = false;
  bool firstAudio = true;

  void applyNegotiation();
  void send(bool marker, int pt, std::uint32_t ts, const std::uint8_t* payload, std::size_t size);
};

namespace {

void receiveRtp(const struct sa*, const struct rtp_header* header, struct mbuf* mb, void* arg) {
  auto* state = static_cast<AudioStream::State*>(arg);
  if (!state->codec || header->pt != state->codec->payloadType) return;
  const std::size_t count = std::min(mbuf_get_left(mb), maximumPacketSamples);
  std::int16_t samples[maximumPacketSamples];
  g711Decode(state->codec->law, mbuf_buf(mb), count, samples);
  state->received.put(header->ts, samples, count);
}

bool pickCodec(struct sdp_format* format, void* arg) {
  auto* codec = static_cast<std::optional<AudioCodec>*>(arg);
  if (!format->sup || !format->name || format->srate != 8000) return false;
  const std::optional<G711Law> law = g711LawNamed(format->name);
  if (!law) return false;
  *codec = AudioCodec{*law, format->pt};
  return true;
}

}  // namespace

void AudioStream::State::applyNegotiation() {
  codec.reset();
  eventPt = -1;
  if (!sdp_media_rport(media)) return;
  sdp_media_format_apply(media, false, nullptr, -1, nullptr, -1, -1, pickCodec, &codec);
  const struct sdp_format* events = sdp_media_rformat(media, telev_rtpfmt);
  if (events) eventPt = events->pt;
  remote = chosenPath ? *chosenPath : *sdp_media_raddr(media);
  // An IPv6 media address cannot be reached from an IPv4 socket, nor the
  // other way round: a call with it would connect and stay silent.
  if (!sa_isset(&remote, SA_ALL) || sa_af(&remote) != sa_af(rtp_local(rtp))) codec.reset();
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

AudioStream::AudioStream(const std::string& localIp, JitterBuffer& received, const TraversalSettings& traversal)
    : state(std::make_unique<State>(received)) {
  struct sa address {};
  checkLibre(sa_set_str(&address, localIp.c_str(), 0));
  checkLibre(rtp_listen(&state->rtp, IPPROTO_UDP, &address, rtpPortMin, rtpPortMax, false, receiveRtp, nullptr,
                          state.get()));
  checkLibre(sdp_session_alloc(&state->sdp, &address));
  checkLibre(sdp_media_add(&state->media, state->sdp, sdp_media_audio, sa_port(rtp_local(state->rtp)),
                             sdp_proto_rtpavp));
  checkLibre(addAudioFormats(state->media, TelephoneEventPacer::packetMs));
  State* s = state.get();
  s->traversal = std::make_unique<MediaTraversal>(s->rtp, s->sdp, s->media, traversal, IceRole::Controlling,
                                                  [s](const struct sa& path) {
                                                    s->chosenPath = path;
                                                    if (s->codec) s->remote = path;
                                                  });
}

AudioStream::~AudioStream() = default;

bool AudioStream::prepareOffer(std::function<void()> onReady) { return state->traversal->gather(std::move(onReady)); }

int AudioStream::offer(struct mbuf** description) { return sdp_encode(description, state->sdp, true); }

bool AudioStream::acceptAnswer(struct mbuf* description) {
  if (!description || !mediaPortsInRange(description) || sdp_decode(state->sdp, description, false) != 0) {
    return false;
  }
  state->traversal->remoteDescribed();
  state->applyNegotiation();
  return negotiated();
}

int AudioStream::answerOffer(struct mbuf* offer, struct mbuf** answer) {
  if (offer && !mediaPortsInRange(offer)) return EPROTO;
  const int err = sdp_decode(state->sdp, offer, true);
  if (err) return err;
  state->traversal->remoteDescribed();
  state->applyNegotiation();
  return sdp_encode(answer, state->sdp, false);
}

bool AudioStream::negotiated() const { return state->codec.has_value(); }

bool AudioStream::eventsAccepted() const { return state->eventPt >= 0; }

void AudioStream::sendTick(const std::int16_t* frame, std::size_t count, const std::optional<EventPacket>& event) {
  if (!state->codec) return;
  if (event && state->eventPt >= 0) {
    // Every packet of one event carries the timestamp of its beginning.
    if (event->marker || !state->eventPlaying) state->eventTimestamp = state->timestamp;
    state->eventPlaying = true;
    state->send(event->marker, state->eventPt, state->eventTimestamp, event->payload.data(), event->payload.size());
  } else {
    state->eventPlaying = false;
    std::vector<std::uint8_t> payload(count);
    g711Encode(state->codec->law, frame, count, payload.data());
    state->send(state->firstAudio, state->codec->payloadType, state->timestamp, payload.data(), payload.size());
    state->firstAudio = false;
  }
  state->timestamp += static_cast<std::uint32_t>(count);
}

}  // namespace qav
