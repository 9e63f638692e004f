// A scripted QAV on a fake telephony session: per sent digit string, what the
// far end does next; every wait moves a fake clock on by the time it waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "dialogue/dialogue_clock.h"
#include "telephony/telephony_session.h"

namespace qav {

class FakeClock : public DialogueClock {
 public:
  std::chrono::steady_clock::time_point steadyNow() override;
  // Wall time moves on with every wait and sleep, from systemTime.
  std::chrono::system_clock::time_point systemNow() override {
    return systemTime + std::chrono::milliseconds(elapsed);
  }
  void sleepFor(std::chrono::milliseconds duration) override;

  void advance(std::int64_t ms) { elapsed += ms; }
  std::int64_t elapsedMs() const { return elapsed; }

  std::vector<std::int64_t> sleeps;
  std::chrono::system_clock::time_point systemTime{};

 private:
  std::int64_t elapsed = 0;
};

// One thing the far end does. Tone and HangUp happen afterMs into the waits
// that follow the send; Silence lets one wait run out; SendFails and
// DropOnSend, placed first, act on the send itself.
struct FarEnd {
  enum class Kind { Tone, Silence, HangUp, SendFails, DropOnSend };
  Kind kind;
  Signal signal = Signal::SingleConfirmation;
  std::int64_t afterMs = 0;
};

FarEnd tone(Signal signal, std::int64_t afterMs = 300);
FarEnd silence();
FarEnd hangUp(std::int64_t afterMs = 300);
FarEnd sendFails();
FarEnd dropOnSend();

class FakeSession : public TelephonySession {
 public:
  explicit FakeSession(FakeClock& clock) : clock(clock) {}

  // What happens after the call is answered.
  void greet(std::vector<FarEnd> script) { greeting = std::move(script); }
  // What happens after the next send of digits that has no script yet;
  // a send without a script meets silence.
  void onDigits(const std::string& digits, std::vector<FarEnd> script);

  void registerAccount(const SipSettings& settings) override { registeredUser = settings.user; }
  void placeCall(const std::string& target) override;
  void sendDigits(const std::string& digits) override;
  std::optional<Signal> waitSignal(std::int64_t timeoutMs) override;
  bool isConnected() override { return connected; }
  void hangup() noexcept override { hungUp = true; }
  void shutdown() noexcept override { hungUp = true; }

  std::string registeredUser;
  std::string dialled;
  std::vector<std::string> sent;
  std::vector<std::int64_t> waits;
  bool connected = false;
  bool hungUp = false;

 private:
  FakeClock& clock;
  std::vector<FarEnd> greeting;
  std::map<std::string, std::deque<std::vector<FarEnd>>> scripts;
  std::deque<FarEnd> pending;
};

}  // namespace qav
