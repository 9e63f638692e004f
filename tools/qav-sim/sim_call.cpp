#include "qav-sim/sim_call.h"

#include "qav-sim/dtmf_relay.h"
#include "telephony/libre_compat.h"
#include "telephony/libre_error.h"
#include "telephony/libre_loop.h"
#include "telephony/sip_session.h"

namespace qav::sim {

namespace {

constexpr std::size_t kFrameSamples = 160;
static_assert(kFrameSamples == line::kFrameSamples, "the codec line passes whole packets");
constexpr std::chrono::milliseconds kPacketTime{20};
// As on the calling side: enough to ride out a packet 80 ms late, so that
// an in-band key is not cut in two; the device hears the keys 100 ms late.
constexpr std::uint32_t kJitterPrefetchSamples = 5 * kFrameSamples;
constexpr std::uint32_t kJitterCapacitySamples = 10 * kFrameSamples;
constexpr char kAllowHeader[] = "Allow: INVITE, ACK, BYE, CANCEL, INFO, OPTIONS\r\n";
constexpr std::uint16_t kRtpPortMin = 40000;
constexpr std::uint16_t kRtpPortMax = 49999;

std::string bodyOf(const struct sip_msg* msg) {
  return std::string(reinterpret_cast<const char*>(mbuf_buf(msg->mb)), mbuf_get_left(msg->mb));
}

}  // namespace

SimCall::SimCall(const CallSetup& setup, DeviceState state, EventLog& log, StateSaver saver)
    : setup_(setup),
      log_(log),
      received_(kJitterPrefetchSamples, kJitterCapacitySamples),
      line_(std::move(state), setup.timing, setup.faults, log, std::move(saver)),
      codecLine_(setup.line ? std::optional<CodecLine>(std::in_place, *setup.line) : std::nullopt),
      media_(AudioStreamOptions{
          setup.localIp, setup.traversal, IceRole::Controlled, kRtpPortMin, kRtpPortMax,
          [this](std::uint32_t timestamp, const std::int16_t* samples, std::size_t count) {
            received_.put(timestamp, samples, count);
          },
          [this](std::uint32_t timestamp, const std::uint8_t* payload, std::size_t size) {
            line_.telephoneEvent(timestamp, payload, size, DeviceClock::now());
          },
          [this](const std::string& remote) { log_.write("ice-connected " + remote); }}),
      clock_(kPacketTime) {
  tmr_init(&ringTimer_);
}

SimCall::~SimCall() {
  tmr_cancel(&ringTimer_);
  // Answered, this is the BYE; still ringing, libre declines the INVITE.
  session_ = static_cast<struct sipsess*>(mem_deref(session_));
  description_ = static_cast<struct mbuf*>(mem_deref(description_));
}

void SimCall::accept(SipStack& stack, const struct sip_msg* invite) {
  // No offer: ours goes in the 200 OK and the answer comes with the ACK.
  offerInInvite_ = mbuf_get_left(invite->mb) > 0;
  if (offerInInvite_ && media_.takeOffer(invite->mb) != 0)
    throw NotAcceptable("kein gemeinsames Audioformat im Angebot");
  const bool waiting = media_.prepare([this] { describedLater(); });
  if (!waiting) checkLibre(describe());
  checkLibre(acceptSession(&session_, stack, invite, 180, "Ringing", setup_.contactUser, nullptr, kAllowHeader,
                           {offered, answered, nullptr, established, infoReceived, closed, this}));
  tmr_start(&ringTimer_, static_cast<std::uint64_t>(setup_.ringDelay.count()), ringOver, this);
}

int SimCall::describe() {
  return offerInInvite_ ? media_.answer(&description_) : media_.offer(&description_);
}

void SimCall::describedLater() {
  if (describe() != 0) {
    end();
    return;
  }
  if (rung_) takeCall();
}

void SimCall::ringOver(void* arg) {
  auto* self = static_cast<SimCall*>(arg);
  self->rung_ = true;
  if (self->description_) self->takeCall();
}

void SimCall::takeCall() {
  if (finished_ || !session_) return;
  if (sipsess_answer(session_, 200, "OK", description_, kAllowHeader) != 0) {
    end();
    return;
  }
  // Media flows from the answer on; the device starts listening at the ACK.
  clock_.start([this] { tick(); });
}

int SimCall::offered(struct mbuf** answer, const struct sip_msg* msg, void* arg) {
  auto* self = static_cast<SimCall*>(arg);
  // A re-INVITE without an offer asks for ours; the answer comes with the ACK.
  if (!mbuf_get_left(msg->mb)) return self->media_.offer(answer);
  return self->media_.answerOffer(msg->mb, answer);
}

int SimCall::answered(const struct sip_msg* msg, void* arg) {
  auto* self = static_cast<SimCall*>(arg);
  if (mbuf_get_left(msg->mb) && !self->media_.acceptAnswer(msg->mb)) return EPROTO;
  return 0;
}

void SimCall::established(const struct sip_msg*, void* arg) {
  auto* self = static_cast<SimCall*>(arg);
  self->log_.write("call");
  self->line_.answer(DeviceClock::now());
}

void SimCall::infoReceived(struct sip* sip, const struct sip_msg* msg, void* arg) {
  static_cast<SimCall*>(arg)->answerInfo(sip, msg);
}

void SimCall::answerInfo(struct sip* sip, const struct sip_msg* msg) {
  const DeviceTime arrived = DeviceClock::now();
  if (!mbuf_get_left(msg->mb)) {
    (void)sip_reply(sip, msg, 200, "OK");
    return;
  }
  if (!msg_ctype_cmp(&msg->ctyp, "application", "dtmf-relay")) {
    (void)sip_replyf(sip, msg, 415, "Unsupported Media Type",
                     "Accept: application/dtmf-relay\r\nContent-Length: 0\r\n\r\n");
    return;
  }
  const std::optional<RelayedDigit> relayed = parseDtmfRelay(bodyOf(msg));
  if (!relayed) {
    (void)sip_reply(sip, msg, 400, "Bad Request");
    return;
  }
  line_.relayedDigit(*relayed, arrived);
  (void)sip_reply(sip, msg, 200, "OK");
}

void SimCall::closed(int, const struct sip_msg*, void* arg) {
  auto* self = static_cast<SimCall*>(arg);
  tmr_cancel(&self->ringTimer_);
  self->session_ = static_cast<struct sipsess*>(mem_deref(self->session_));
  if (!self->finished_.exchange(true)) self->log_.write("bye");
}

void SimCall::tick() {
  std::int16_t in[kFrameSamples];
  received_.take(in, kFrameSamples);
  std::int16_t out[kFrameSamples];
  if (codecLine_) {
    std::int16_t heard[kFrameSamples];
    std::int16_t answer[kFrameSamples];
    codecLine_->toDevice(in, heard);
    line_.tick(heard, answer, kFrameSamples, DeviceClock::now());
    codecLine_->toCaller(answer, heard, out);
  } else {
    line_.tick(in, out, kFrameSamples, DeviceClock::now());
  }
  const bool hangUp = line_.wantsHangUp();
  LibreLock lock;
  if (finished_) return;
  media_.sendTick(out, kFrameSamples);
  if (hangUp) end();
}

void SimCall::end() {
  tmr_cancel(&ringTimer_);
  session_ = static_cast<struct sipsess*>(mem_deref(session_));
  if (!finished_.exchange(true)) log_.write("bye");
}

}  // namespace qav::sim
