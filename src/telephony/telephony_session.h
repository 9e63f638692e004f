// The one way the programming dialogue talks to a QAV: register, call, send
// DTMF, wait for classified answer tones, hang up.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "settings/settings.h"
#include "telephony/call_audio_sink.h"
#include "tone/signal.h"

namespace qav {

class TelephonySession {
 public:
  virtual ~TelephonySession() = default;
  virtual void registerAccount(const SipSettings& settings) = 0;
  virtual void placeCall(const std::string& target) = 0;
  virtual void sendDigits(const std::string& digits) = 0;
  // Empty when nothing arrived within the limit, or at once once the call
  // has ended and the queue is drained.
  virtual std::optional<Signal> waitSignal(std::int64_t timeoutMs) = 0;
  virtual bool isConnected() = 0;
  virtual void hangup() noexcept = 0;
  virtual void shutdown() noexcept = 0;
  // Safe from any thread (a signal watcher): the run is to end. Whatever
  // waits for the registration, the call or the QAV returns or fails at
  // once, and the call counts as ended; hangup and shutdown still end call
  // and registration in order.
  virtual void interrupt() noexcept {}
};

// audioSink, if given, hears every tick of call audio; see CallAudioSink.
std::unique_ptr<TelephonySession> createTelephonySession(CallAudioSink* audioSink = nullptr);

}  // namespace qav
