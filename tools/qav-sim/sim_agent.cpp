#include "qav-sim/sim_agent.h"

#include <re.h>

#include <chrono>
#include <iostream>
#include <stdexcept>
#include <thread>

#include "qav-sim/device_state_file.h"
#include "telephony/libre_loop.h"
#include "telephony/network_address.h"
#include "telephony/stun_probe.h"

namespace qav::sim {

namespace {

constexpr std::chrono::milliseconds kAnswerWait{2000};
constexpr char kDefaultContactUser[] = "qav";
constexpr char kUserAgent[] = "qav-sim";

SipSettings accountSettings(const SimOptions& options, const std::string& registrarIp) {
  SipSettings settings;
  settings.server = registrarIp;
  settings.port = options.registrar->port;
  settings.transport = options.transport;
  settings.user = options.user;
  settings.password = options.password;
  return settings;
}

}  // namespace

SimAgent::SimAgent(const SimOptions& options, EventLog& log)
    : options_(options), log_(log), contactUser_(options.user.empty() ? kDefaultContactUser : options.user) {
  resolveStunServer();
  std::string registrarIp;
  std::uint16_t port = 0;
  if (options.registrar) {
    const std::string& host = options.registrar->host;
    registrarIp = isNumericHost(host) ? host : resolveHost(host);
    if (registrarIp.empty()) throw std::runtime_error("cannot resolve " + host);
    localIp_ = localAddressTowards(registrarIp);
    if (localIp_.empty()) throw std::runtime_error("no route to " + registrarIp);
  } else {
    localIp_ = options.listen->host;
    port = options.listen->port;
  }
  if (options.registrar) bindMappedStack();
  LibreLock lock;
  try {
    if (!stack_) stack_ = makeStack(port);
    if (options.registrar) {
      registerAt(HostPort{registrarIp, options.registrar->port});
    } else {
      log_.write("listening " + stack_->localAddress());
    }
  } catch (...) {
    // Released here, under libre's lock, not by the members' destructors.
    releaseStack();
    throw;
  }
}

SimAgent::~SimAgent() { shutdown(); }

void SimAgent::resolveStunServer() {
  traversal_.ice = options_.ice;
  if (!options_.stunServer) return;
  traversal_.stunServer = qav::resolveStunServer(*options_.stunServer);
  // Like a server that does not answer: the calls go on without a mapping.
  if (!traversal_.stunServer) std::cerr << "qav-sim: cannot resolve " << options_.stunServer->host << std::endl;
}

void SimAgent::bindMappedStack() {
  if (options_.transport != SipTransport::Udp || !traversal_.stunServer) return;
  const std::optional<PublicAddress> mapped =
      bindOnMappedPort(localIp_, traversal_.stunServer, [this](std::uint16_t port) {
        LibreLock lock;
        stack_ = makeStack(port);
      });
  if (mapped) contactUser_ = publicContact(contactUser_, *mapped);
}

std::unique_ptr<SipStack> SimAgent::makeStack(std::uint16_t port) {
  SipStackOptions stack;
  stack.transport = options_.transport;
  stack.localIp = localIp_;
  stack.port = port;
  stack.userAgent = kUserAgent;
  stack.onCall = [this](const struct sip_msg* invite) { incomingCall(invite); };
  stack.accepts = "application/sdp, application/dtmf-relay";
  // A PBX or caller connecting to us must not insist on verifying it.
  stack.selfSignedCertificate = true;
  return std::make_unique<SipStack>(std::move(stack));
}

void SimAgent::registerAt(const HostPort& registrar) {
  try {
    account_ = std::make_unique<SipAccount>(*stack_, accountSettings(options_, registrar.host),
                                            std::vector<std::string>{},
                                            [this](int status, bool active) { registrationAnswered(status, active); });
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(std::string("cannot register: ") + error.what());
  }
}

void SimAgent::registrationAnswered(int status, bool active) {
  if (status >= 200 && status < 300 && active) {
    if (!registered_) log_.write("registered");
    registered_ = true;
  } else if (status >= 300 && !registered_ && !refused_) {
    refused_ = status;
    log_.write("registration-failed " + std::to_string(status));
  }
}

std::optional<int> SimAgent::registrationRefused() const {
  LibreLock lock;
  return refused_;
}

DeviceState SimAgent::stateForCall() {
  if (!options_.stateFile.empty()) return loadDeviceState(options_.stateFile);
  std::lock_guard lock(stateMutex_);
  return memoryState_;
}

void SimAgent::keepState(const DeviceState& state) {
  if (!options_.stateFile.empty()) {
    saveDeviceState(options_.stateFile, state);
    return;
  }
  std::lock_guard lock(stateMutex_);
  memoryState_ = state;
}

void SimAgent::incomingCall(const struct sip_msg* invite) {
  struct sip* sip = stack_->sip();
  if (call_ || stopped_) {
    (void)sip_treply(nullptr, sip, invite, 486, "Busy Here");
    return;
  }
  CallSetup setup{localIp_, contactUser_, traversal_, options_.ringDelay, options_.timing, options_.faults,
                  options_.line};
  try {
    auto call = std::make_unique<SimCall>(setup, stateForCall(), log_,
                                          [this](const DeviceState& state) { keepState(state); });
    call->accept(*stack_, invite);
    call_ = std::move(call);
  } catch (const NotAcceptable&) {
    (void)sip_treply(nullptr, sip, invite, 488, "Not Acceptable Here");
  } catch (const std::exception& error) {
    std::cerr << "qav-sim: call refused: " << error.what() << std::endl;
    (void)sip_treply(nullptr, sip, invite, 500, "Server Internal Error");
  }
}

bool SimAgent::reapFinishedCall() {
  SimCall* finished = nullptr;
  {
    LibreLock lock;
    if (call_ && call_->finished()) finished = call_.get();
  }
  if (!finished) return false;
  // Only this thread ever releases the call, so it stays valid meanwhile.
  finished->stopClock();
  LibreLock lock;
  call_.reset();
  ++callsFinished_;
  return true;
}

void SimAgent::shutdown() noexcept {
  try {
    SimCall* current = nullptr;
    {
      LibreLock lock;
      if (stopped_) return;
      stopped_ = true;
      current = call_.get();
    }
    if (current) current->stopClock();
    {
      LibreLock lock;
      call_.reset();
      // Released, the account sends the unregistering REGISTER.
      account_.reset();
    }
    waitForAnswers(stack_.get(), {"BYE", "REGISTER"}, kAnswerWait);
    LibreLock lock;
    releaseStack();
  } catch (...) {
  }
}

void SimAgent::releaseStack() {
  account_.reset();
  stack_.reset();
}

}  // namespace qav::sim
