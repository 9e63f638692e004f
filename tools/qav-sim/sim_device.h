// One simulated QAV behind the agent: its registration, its stored state,
// its faults and the one call it takes at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "qav-sim/event_log.h"
#include "qav-sim/sim_call.h"
#include "qav-sim/sim_options.h"
#include "telephony/sip_account.h"
#include "telephony/sip_stack.h"

struct sip_msg;

namespace qav::sim {

// Owned by the agent. Registration and calls run on libre's worker or under
// a LibreLock; hangUp comes from the main thread and takes the lock itself.
// The stack outlives the device's account.
class SimDevice {
 public:
  // The device's events go to the shared log, behind its user name.
  SimDevice(DeviceSpec spec, EventLog& shared);
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  const std::string& user() const { return spec_.user; }
  // Throws std::runtime_error naming the device when libre refuses.
  void registerAt(SipStack& stack, SipSettings settings);
  std::optional<int> registrationRefused() const { return refused_; }

  // On libre's worker: the INVITE for this device. The setup's faults and
  // contact are replaced by the device's own.
  void incomingCall(SipStack& stack, const struct sip_msg* invite, CallSetup setup, bool stopped);
  // Under libre's lock: the call that has ended, if any. Only the main
  // thread releases calls, so it stays valid until releaseCall.
  SimCall* finishedCall() const { return call_ && call_->finished() ? call_.get() : nullptr; }
  // Under libre's lock, after the call's clock has stopped.
  void releaseCall() { call_.reset(); }
  // Hangs up and sends the unregistering REGISTER; the caller waits for
  // the answers.
  void hangUp() noexcept;
  // Under libre's lock.
  void releaseAccount() { account_.reset(); }

  void setContact(std::string contact) { contact_ = std::move(contact); }

 private:
  void registrationAnswered(int status, bool active);
  DeviceState stateForCall();
  void keepState(const DeviceState& state);

  DeviceSpec spec_;
  EventLog log_;
  std::string contact_;
  std::unique_ptr<SipAccount> account_;
  bool registered_ = false;
  std::optional<int> refused_;
  std::unique_ptr<SimCall> call_;  // guarded by libre's lock
  std::mutex stateMutex_;
  DeviceState memoryState_;  // without a state file
};

}  // namespace qav::sim
