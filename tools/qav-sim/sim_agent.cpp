#include "qav-sim/sim_agent.h"

#include <re.h>

#include <chrono>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "qav-sim/error_line.h"
#include "telephony/libre_loop.h"
#include "telephony/network_address.h"
#include "telephony/stun_probe.h"

namespace qav::sim {

namespace {

constexpr std::chrono::milliseconds kAnswerWait{2000};
constexpr char kDefaultContactUser[] = "qav";
constexpr char kUserAgent[] = "qav-sim";

SipSettings registrarSettings(const SimOptions& options, const std::string& registrarIp) {
  SipSettings settings;
  settings.server = registrarIp;
  settings.port = options.registrar->port;
  settings.transport = options.transport;
  return settings;
}

}  // namespace

SimAgent::SimAgent(const SimOptions& options, EventLog& log) : options_(options) {
  for (DeviceSpec& spec : deviceSpecs(options)) {
    devices_.push_back(std::make_unique<SimDevice>(std::move(spec), log));
    if (options.devices) byUser_.emplace(devices_.back()->user(), devices_.back().get());
  }
  if (!options.devices && options.user.empty()) devices_.front()->setContact(kDefaultContactUser);
  resolveStunServer();
  std::string registrarIp;
  std::uint16_t port = 0;
  if (options.registrar) {
    const std::string& host = options.registrar->host;
    registrarIp = isNumericHost(host) ? host : resolveHost(host);
    if (registrarIp.empty()) throw std::runtime_error("Registrar nicht auflösbar: " + host);
    localIp_ = localAddressTowards(registrarIp);
    if (localIp_.empty()) throw std::runtime_error("Keine Route zu " + registrarIp);
  } else {
    localIp_ = options.listen->host;
    port = options.listen->port;
  }
  if (options.registrar) bindMappedStack();
  LibreLock lock;
  try {
    if (!stack_) stack_ = makeStack(port);
    if (options.registrar) {
      const SipSettings settings = registrarSettings(options, registrarIp);
      for (auto& device : devices_) device->registerAt(*stack_, settings);
    } else {
      log.write("listening " + stack_->localAddress());
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
  if (!traversal_.stunServer)
    printWarning("STUN-Server nicht auflösbar, es geht ohne ihn weiter: " + options_.stunServer->host);
}

void SimAgent::bindMappedStack() {
  if (options_.transport != SipTransport::Udp || !traversal_.stunServer) return;
  const std::optional<PublicAddress> mapped =
      bindOnMappedPort(localIp_, traversal_.stunServer, [this](std::uint16_t port) {
        LibreLock lock;
        stack_ = makeStack(port);
      });
  if (!mapped) return;
  for (auto& device : devices_) device->setContact(publicContact(device->user(), *mapped));
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

std::optional<RefusedRegistration> SimAgent::registrationRefused() const {
  LibreLock lock;
  for (const auto& device : devices_)
    if (const std::optional<int> status = device->registrationRefused()) return RefusedRegistration{device->user(), *status};
  return std::nullopt;
}

// Alone, the device takes every call that reaches the stack; among several,
// the PBX names the one called in the request URI, as its contact.
SimDevice* SimAgent::addressed(const struct sip_msg* invite) {
  if (!options_.devices) return devices_.front().get();
  const std::string_view user(invite->uri.user.p, invite->uri.user.l);
  const auto found = byUser_.find(user);
  return found == byUser_.end() ? nullptr : found->second;
}

void SimAgent::incomingCall(const struct sip_msg* invite) {
  SimDevice* device = addressed(invite);
  if (!device) {
    (void)sip_treply(nullptr, stack_->sip(), invite, 404, "Not Found");
    return;
  }
  const CallSetup setup{localIp_, "", traversal_, options_.ringDelay, options_.timing, options_.faults, options_.line};
  device->incomingCall(*stack_, invite, setup, stopped_);
}

std::uint32_t SimAgent::reapFinishedCalls() {
  std::vector<std::pair<SimDevice*, SimCall*>> finished;
  {
    LibreLock lock;
    for (auto& device : devices_)
      if (SimCall* call = device->finishedCall()) finished.emplace_back(device.get(), call);
  }
  if (finished.empty()) return 0;
  // Stopped outside the lock: a tick may be waiting for it.
  for (const auto& [device, call] : finished) call->stopClock();
  LibreLock lock;
  for (const auto& [device, call] : finished) device->releaseCall();
  callsFinished_ += static_cast<std::uint32_t>(finished.size());
  return static_cast<std::uint32_t>(finished.size());
}

void SimAgent::shutdown() noexcept {
  try {
    {
      LibreLock lock;
      if (stopped_) return;
      stopped_ = true;
    }
    for (auto& device : devices_) device->hangUp();
    waitForAnswers(stack_.get(), {"BYE", "REGISTER"}, kAnswerWait);
    LibreLock lock;
    releaseStack();
  } catch (...) {
  }
}

void SimAgent::releaseStack() {
  for (auto& device : devices_) device->releaseAccount();
  stack_.reset();
}

}  // namespace qav::sim
