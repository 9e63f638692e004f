// The one outgoing call: libre's sipsess with the SDP offer of the audio
// stream; its handlers report call states and media to the session.
#pragma once

#include <re.h>

#include <string>
#include <vector>

#include "telephony/audio_stream.h"
#include "telephony/jitter_buffer.h"
#include "telephony/libre_error.h"
#include "telephony/session_events.h"
#include "telephony/sip_session.h"
#include "telephony/sip_stack.h"

// Included only by libre_session.cpp: like LibreSession, this lives in that
// file's unnamed namespace.
namespace qav {
namespace {

// A far end's reason phrase as it may reach a terminal: control bytes
// (escape sequences that retitle, clear or recolour it) are left out;
// printable ASCII and the bytes of UTF-8 characters stay.
inline std::string printableReason(const struct pl& text) {
  std::string out;
  for (std::size_t i = 0; text.p && i < text.l; ++i) {
    const auto byte = static_cast<unsigned char>(text.p[i]);
    if (byte >= 0x20 && byte != 0x7F) out += static_cast<char>(byte);
  }
  return out;
}

// The one outgoing call: sipsess with its SDP offer and the audio stream.
// Its handlers report to onCallState and onCallMediaState.
class SessionCall {
 public:
  SessionCall(SessionEvents* owner, SipStack& sipStack, const std::string& localIp, JitterBuffer& received,
              const TraversalSettings& traversal)
      : session(owner),
        stack(sipStack),
        stream(AudioStreamOptions{localIp, traversal, IceRole::Controlling, 16384, 32767,
                                  [&received](std::uint32_t timestamp, const std::int16_t* samples,
                                              std::size_t count) { received.put(timestamp, samples, count); },
                                  nullptr, nullptr}) {}
  ~SessionCall() {
    tmr_cancel(&releaseTimer);
    sess = static_cast<struct sipsess*>(mem_deref(sess));
    mem_deref(offer);
  }
  SessionCall(const SessionCall&) = delete;
  SessionCall& operator=(const SessionCall&) = delete;

  // The INVITE leaves at once, or when the stream knows its public address;
  // a failure after that wait ends the call like a refusal without response.
  void connect(CallRequest call);
  bool isActive() const { return sess && !closed; }
  // CANCEL before the answer, BYE after it; libre finishes either alone.
  void release();
  void sendInfo(const std::string& body);
  AudioStream& audio() { return stream; }

  void onCallState(bool confirmed, bool disconnected, int status);
  void onCallMediaState();

  static int describe(struct mbuf** description, const struct sa* src, const struct sa* dst, void* arg);
  static int offered(struct mbuf** answer, const struct sip_msg* msg, void* arg);
  static int answered(const struct sip_msg* msg, void* arg);
  static void progressed(const struct sip_msg* msg, void* arg);
  static void established(const struct sip_msg* msg, void* arg);
  static void infoReceived(struct sip* sip, const struct sip_msg* msg, void* arg);
  static void closedBy(int err, const struct sip_msg* msg, void* arg);
  static void infoAnswered(int err, const struct sip_msg* msg, void* arg);

 private:
  int invite();
  void inviteWhenReady();

  SessionEvents* session;
  SipStack& stack;
  AudioStream stream;
  CallRequest request;
  struct sipsess* sess = nullptr;
  // Encoded once: libre 2.1 and later ask for it again for every
  // retransmission, which must carry the same SDP version.
  struct mbuf* offer = nullptr;
  struct tmr releaseTimer {};
  int releaseTries = 0;
  // Released by us: what still comes for the session is no longer reported.
  bool hungUp = false;
  bool closed = false;
  bool mediaConnected = false;
};

inline void SessionCall::connect(CallRequest call) {
  request = std::move(call);
  if (!stream.prepare([this] { inviteWhenReady(); })) checkLibre(invite());
}

inline void SessionCall::inviteWhenReady() {
  const int err = invite();
  if (err) onCallState(false, true, statusForTransportError(err));
}

inline int SessionCall::invite() {
  offer = static_cast<struct mbuf*>(mem_deref(offer));
  const int encoded = stream.offer(&offer);
  if (encoded) return encoded;
  return connectSession(&sess, stack, request, describe,
                        {offered, answered, progressed, established, infoReceived, closedBy, this});
}

// A CANCEL may only follow a provisional answer. libre before 3.12 waits
// for one; since then it drops the INVITE's transaction instead, and a 200
// that crosses gets neither ACK nor BYE. Until the INVITE is heard, or its
// transaction has run out (64 T1), the session stays and is asked again.
inline void SessionCall::release() {
  hungUp = true;
  constexpr int pollMs = 20;
  constexpr int transactionLimitMs = 64 * 500;
  if (QAV_LIBRE_AT_LEAST(3, 12) && sess && !closed && stack.unheard({"INVITE"}) &&
      ++releaseTries < transactionLimitMs / pollMs) {
    tmr_start(&releaseTimer, pollMs, [](void* arg) { static_cast<SessionCall*>(arg)->release(); }, this);
    return;
  }
  tmr_cancel(&releaseTimer);
  sess = static_cast<struct sipsess*>(mem_deref(sess));
}

inline void SessionCall::sendInfo(const std::string& body) {
  struct mbuf* mb = mbuf_alloc(body.size());
  if (!mb) checkLibre(ENOMEM);
  int err = mbuf_write_str(mb, body.c_str());
  mb->pos = 0;
  if (!err) err = sipsess_info(sess, "application/dtmf-relay", mb, infoAnswered, this);
  mem_deref(mb);
  checkLibre(err);
}

inline void SessionCall::onCallState(bool confirmed, bool disconnected, int status) {
  if (disconnected) closed = true;
  session->callEvent(confirmed, disconnected, status);
}

inline void SessionCall::onCallMediaState() {
  // The media is connected once per call; later answers only move the
  // stream's remote address and codec, which the stream already applied.
  if (mediaConnected) return;
  mediaConnected = true;
  session->mediaEvent(&stream, true);
}

inline int SessionCall::describe(struct mbuf** description, const struct sa*, const struct sa*, void* arg) {
  *description = static_cast<struct mbuf*>(mem_ref(static_cast<SessionCall*>(arg)->offer));
  return 0;
}

inline int SessionCall::offered(struct mbuf** answer, const struct sip_msg* msg, void* arg) {
  auto* self = static_cast<SessionCall*>(arg);
  // A re-INVITE without an offer (a session refresh) asks for ours; the
  // answer comes with the ACK. Answering the empty offer would reject the
  // audio stream.
  if (!mbuf_get_left(msg->mb)) return self->stream.offer(answer);
  return self->stream.answerOffer(msg->mb, answer);
}

inline int SessionCall::answered(const struct sip_msg* msg, void* arg) {
  auto* self = static_cast<SessionCall*>(arg);
  // Since libre 2.1 an SDP in a provisional response comes here too;
  // progressed has taken it, and an unusable one must not end the call.
  if (msg->scode < 200 || self->hungUp) return 0;
  // The answer may have come already, in a provisional response.
  if (!mbuf_get_left(msg->mb) && self->mediaConnected) return 0;
  // No usable codec: libre acknowledges the answer and ends the call.
  if (!self->stream.acceptAnswer(msg->mb)) return EPROTO;
  self->onCallMediaState();
  return 0;
}

inline void SessionCall::progressed(const struct sip_msg* msg, void* arg) {
  auto* self = static_cast<SessionCall*>(arg);
  if (self->hungUp) return;
  self->session->callEvent(false, false, msg->scode);
  // Early media: an SDP answer in a provisional response.
  if (mbuf_get_left(msg->mb) && msg_ctype_cmp(&msg->ctyp, "application", "sdp") &&
      self->stream.acceptAnswer(msg->mb)) {
    self->onCallMediaState();
  }
}

inline void SessionCall::established(const struct sip_msg* msg, void* arg) {
  auto* self = static_cast<SessionCall*>(arg);
  if (self->hungUp) return;
  // Since libre 2.1 a 200 without SDP does not reach answered, which would
  // have refused it: with no audio from an earlier answer the call ends
  // here the same way, with BYE and the 200's status.
  if (!self->mediaConnected) {
    self->release();
    closedBy(EPROTO, msg, arg);
    return;
  }
  self->onCallState(true, false, msg ? msg->scode : 200);
}

inline void SessionCall::infoReceived(struct sip* sip, const struct sip_msg* msg, void*) {
  (void)sip_reply(sip, msg, 200, "OK");
}

inline void SessionCall::closedBy(int err, const struct sip_msg* msg, void* arg) {
  auto* self = static_cast<SessionCall*>(arg);
  int status = 0;
  if (msg && !msg->req) {
    status = msg->scode;
  } else if (err) {
    status = statusForTransportError(err);
  }
  self->closed = true;
  self->session->mediaEvent(&self->stream, false);
  self->session->callEvent(false, true, status ? std::optional<int>(status) : std::nullopt);
}

inline void SessionCall::infoAnswered(int err, const struct sip_msg* msg, void* arg) {
  auto* self = static_cast<SessionCall*>(arg);
  if (err || !msg) {
    self->session->infoResponse(statusForTransportError(err), libreErrorText(err));
  } else if (msg->scode >= 200) {
    self->session->infoResponse(msg->scode, printableReason(msg->reason));
  }
}

}  // namespace
}  // namespace qav
