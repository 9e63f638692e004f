// One call to the simulated QAV: the INVITE answered after the ring delay,
// the media clock driving the device, the hang-up from either side.
#pragma once

#include <re.h>

#include <atomic>
#include <optional>
#include <string>

#include "qav-sim/codec_line.h"
#include "qav-sim/device_line.h"
#include "telephony/audio_stream.h"
#include "telephony/jitter_buffer.h"
#include "telephony/media_clock.h"
#include "telephony/sip_stack.h"

namespace qav::sim {

// The call's offer leaves nothing the device can speak: 488 for the caller.
class NotAcceptable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CallSetup {
  std::string localIp;
  // A user, or a whole SIP URI when the contact is the NAT's public address.
  std::string contactUser;
  TraversalSettings traversal;
  milliseconds ringDelay{0};
  DialogueTiming timing;
  FaultPlan faults;
  // None: the audio passes as G.711 alone.
  std::optional<line::LineSpec> line;
};

// Created on libre's worker thread with the INVITE. Destroy it under a
// LibreLock, and only after stopClock, which must not be called under one:
// a tick may be waiting for libre's lock.
class SimCall {
 public:
  // Throws NotAcceptable, or std::runtime_error when libre fails; the agent
  // then answers the INVITE itself.
  SimCall(const CallSetup& setup, DeviceState state, EventLog& log, StateSaver saver);
  ~SimCall();
  SimCall(const SimCall&) = delete;
  SimCall& operator=(const SimCall&) = delete;

  // 180 Ringing now, 200 OK after the ring delay, and not before the SDP
  // knows the public address.
  void accept(SipStack& stack, const struct sip_msg* invite);
  void stopClock() noexcept { clock_.stop(); }
  // Over, by either side; the agent may reap it.
  bool finished() const { return finished_; }

 private:
  static int offered(struct mbuf** answer, const struct sip_msg* msg, void* arg);
  static int answered(const struct sip_msg* msg, void* arg);
  static void established(const struct sip_msg* msg, void* arg);
  static void infoReceived(struct sip* sip, const struct sip_msg* msg, void* arg);
  static void closed(int err, const struct sip_msg* msg, void* arg);
  static void ringOver(void* arg);

  int describe();
  void describedLater();
  void takeCall();
  void tick();
  void answerInfo(struct sip* sip, const struct sip_msg* msg);
  void end();

  CallSetup setup_;
  EventLog& log_;
  JitterBuffer received_;
  DeviceLine line_;
  std::optional<CodecLine> codecLine_;
  AudioStream media_;
  struct mbuf* description_ = nullptr;  // our SDP for the 200 OK
  bool offerInInvite_ = false;
  bool rung_ = false;
  struct sipsess* session_ = nullptr;
  struct tmr ringTimer_ {};
  std::atomic<bool> finished_{false};
  MediaClock clock_;
};

}  // namespace qav::sim
