#include "qav-sim/sim_device.h"

#include <re.h>

#include <stdexcept>

#include "qav-sim/device_state_file.h"
#include "qav-sim/error_line.h"
#include "telephony/libre_loop.h"

namespace qav::sim {

namespace {

// " für qav07" among several devices; the one device alone needs no name.
std::string forDevice(const DeviceSpec& spec) { return spec.eventPrefix.empty() ? "" : " für " + spec.user; }

}  // namespace

SimDevice::SimDevice(DeviceSpec spec, EventLog& shared)
    : spec_(std::move(spec)), log_(shared, spec_.eventPrefix), contact_(spec_.user) {}

void SimDevice::registerAt(SipStack& stack, SipSettings settings) {
  settings.user = spec_.user;
  settings.password = spec_.password;
  try {
    account_ = std::make_unique<SipAccount>(stack, settings, std::vector<std::string>{},
                                            [this](int status, bool active) { registrationAnswered(status, active); });
  } catch (const std::runtime_error& error) {
    throw std::runtime_error("SIP-Registrierung" + forDevice(spec_) + " nicht möglich: " + error.what());
  }
}

void SimDevice::registrationAnswered(int status, bool active) {
  if (status >= 200 && status < 300 && active) {
    if (!registered_) log_.write("registered");
    registered_ = true;
  } else if (status >= 300 && !registered_ && !refused_) {
    refused_ = status;
    log_.write("registration-failed " + std::to_string(status));
  }
}

DeviceState SimDevice::stateForCall() {
  if (!spec_.stateFile.empty()) return loadDeviceState(spec_.stateFile);
  std::lock_guard lock(stateMutex_);
  return memoryState_;
}

void SimDevice::keepState(const DeviceState& state) {
  if (!spec_.stateFile.empty()) {
    saveDeviceState(spec_.stateFile, state);
    return;
  }
  std::lock_guard lock(stateMutex_);
  memoryState_ = state;
}

void SimDevice::incomingCall(SipStack& stack, const struct sip_msg* invite, CallSetup setup, bool stopped) {
  struct sip* sip = stack.sip();
  if (spec_.faults.busy) log_.write("busy");
  if (call_ || stopped || spec_.faults.busy) {
    (void)sip_treply(nullptr, sip, invite, 486, "Busy Here");
    return;
  }
  setup.contactUser = contact_;
  setup.faults = spec_.faults;
  try {
    auto call = std::make_unique<SimCall>(setup, stateForCall(), log_,
                                          [this](const DeviceState& state) { keepState(state); });
    call->accept(stack, invite);
    call_ = std::move(call);
  } catch (const NotAcceptable&) {
    (void)sip_treply(nullptr, sip, invite, 488, "Not Acceptable Here");
  } catch (const std::exception& error) {
    printError("Anruf" + forDevice(spec_) + " abgewiesen: " + error.what());
    (void)sip_treply(nullptr, sip, invite, 500, "Server Internal Error");
  }
}

void SimDevice::hangUp() noexcept {
  SimCall* current = nullptr;
  {
    LibreLock lock;
    current = call_.get();
  }
  if (current) current->stopClock();
  LibreLock lock;
  call_.reset();
  // Released, the account sends the unregistering REGISTER.
  account_.reset();
}

}  // namespace qav::sim
