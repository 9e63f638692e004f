// The telephony session on libre: registration with sipreg, the call with
// sipsess, audio through the media port, DTMF by RFC 4733, SIP INFO or tones.
#include <re.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "audio/dtmf_tones.h"
#include "telephony/audio_stream.h"
#include "telephony/libre_error.h"
#include "telephony/libre_loop.h"
#include "telephony/media_traversal.h"
#include "telephony/network_address.h"
#include "telephony/qav_media_port.h"
#include "telephony/session_call.h"
#include "telephony/session_events.h"
#include "telephony/sip_account.h"
#include "telephony/sip_addressing.h"
#include "telephony/sip_stack.h"
#include "telephony/stun_probe.h"
#include "telephony/stun_server.h"
#include "telephony/telephone_events.h"
#include "telephony/telephony_session.h"
#include "telephony/trusted_ca_file.h"
#include "tone/tone_analyzer.h"

namespace qav {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint32_t sampleRate = 8000;
constexpr milliseconds callEndWait{2000};
constexpr milliseconds unregisterWait{500};
constexpr milliseconds inbandDrainSlack{2000};
constexpr char userAgent[] = "qav-cli";

class LibreSession final : public TelephonySession, public SessionEvents {
 public:
  explicit LibreSession(CallAudioSink* audioSink) : analyzer(sampleRate), sink(audioSink) {
    analyzer.setCallback([this](Signal signal) {
      {
        std::lock_guard lock(stateMutex);
        signals.push_back(signal);
      }
      stateChanged.notify_all();
    });
  }
  ~LibreSession() override { shutdown(); }

  void registerAccount(const SipSettings& s) override;
  void placeCall(const std::string& target) override;
  void sendDigits(const std::string& digits) override;
  std::optional<Signal> waitSignal(std::int64_t timeoutMs) override;
  bool isConnected() override;
  void hangup() noexcept override;
  void shutdown() noexcept override;
  void interrupt() noexcept override;

  void registrationEvent(int status, bool active) override;
  void callEvent(bool confirmed, bool disconnected, std::optional<int> status) override;
  void mediaEvent(AudioStream* stream, bool connected) override;
  void infoResponse(int status, const std::string& reason) override;

 private:
  void startStack();
  void readTraversalSettings();
  void bindStack();
  // Empty unless sip-tls-verify is on.
  std::string trustedCaFile() const { return settings.tlsVerify ? settings.tlsCaFile : std::string(); }
  std::vector<std::string> registrationRoutes() const;
  std::vector<std::string> callRoutes() const;
  void failRegistration(int status);
  bool callGone();
  void sendEvents(const std::string& digits);
  void sendInfos(const std::string& digits);
  void sendInband(const std::string& digits);
  void awaitInfoResponse(Clock::time_point deadline);
  template <typename Predicate>
  void waitState(Clock::time_point deadline, Predicate done);
  std::unique_ptr<SipStack> makeStack(std::uint16_t port) const;
  void releaseObjects() noexcept;
  // Hang up, unregister and release call, port, account and stack; the
  // loop keeps running.
  void tearDown() noexcept;

  std::unique_ptr<LibreLoop> loop;
  ToneAnalyzer analyzer;
  CallAudioSink* sink;
  std::unique_ptr<QavMediaPort> mediaPort;
  std::unique_ptr<SipAccount> account;
  std::unique_ptr<SessionCall> call;
  std::unique_ptr<SipStack> stack;
  SipSettings settings;
  // The first hop's numeric address, and ours towards it.
  std::string serverAddress;
  std::string localAddress;
  TraversalSettings traversal;
  // The INVITE's contact: the user, or the NAT's public address of the SIP
  // socket as a whole URI.
  std::string contactUser;
  std::mutex stateMutex;
  std::condition_variable stateChanged;
  // Guarded by stateMutex; every writer notifies stateChanged.
  std::deque<Signal> signals;
  bool registered = false;
  bool registrationFailed = false;
  int registrationStatus = 0;
  bool callConfirmed = false;
  bool callEnded = false;
  bool mediaActive = false;
  int callStatus = 0;
  std::optional<int> infoStatus;
  // Set once by interrupt; every later call starts out as ended.
  bool interrupted = false;
  std::string infoReason;
};

// ---- LibreSession: events from the worker ----

void LibreSession::registrationEvent(int status, bool active) {
  {
    std::lock_guard lock(stateMutex);
    registrationStatus = status;
    if (status >= 200 && status < 300 && active) {
      registered = true;
    } else if (status >= 300) {
      registrationFailed = true;
    }
  }
  stateChanged.notify_all();
}

void LibreSession::callEvent(bool confirmed, bool disconnected, std::optional<int> status) {
  {
    std::lock_guard lock(stateMutex);
    if (status) callStatus = *status;
    if (disconnected) {
      callConfirmed = false;
      callEnded = true;
    } else if (confirmed) {
      callConfirmed = true;
    }
  }
  stateChanged.notify_all();
}

void LibreSession::mediaEvent(AudioStream* stream, bool connected) {
  if (!mediaPort) return;
  if (!connected) {
    mediaPort->detach();
    return;
  }
  mediaPort->attach(stream);
  {
    std::lock_guard lock(stateMutex);
    mediaActive = true;
  }
  stateChanged.notify_all();
}

void LibreSession::infoResponse(int status, const std::string& reason) {
  {
    std::lock_guard lock(stateMutex);
    infoStatus = status;
    infoReason = reason;
  }
  stateChanged.notify_all();
}

// ---- LibreSession: operations ----

template <typename Predicate>
void LibreSession::waitState(Clock::time_point deadline, Predicate done) {
  std::unique_lock lock(stateMutex);
  stateChanged.wait_until(lock, deadline, [&] { return done(); });
}

std::vector<std::string> LibreSession::registrationRoutes() const {
  if (!settings.proxy.empty()) return {libreRoute(proxyRoute(settings.proxy))};
  if (!isNumericHost(settings.server)) return {libreRoute(registrarRoute(settings, serverAddress))};
  return {};
}

std::vector<std::string> LibreSession::callRoutes() const {
  if (!settings.proxy.empty()) return {libreRoute(proxyRoute(settings.proxy))};
  return {libreRoute(registrarRoute(settings, serverAddress))};
}

void LibreSession::failRegistration(int status) {
  std::lock_guard lock(stateMutex);
  registrationStatus = status;
  registrationFailed = true;
}

void LibreSession::startStack() {
  if (loop) {
    // Registering again: the last call and account end as at shutdown
    // before a new port and stack replace what they still use, and only
    // the new account's answer counts.
    tearDown();
    std::lock_guard lock(stateMutex);
    registered = false;
    registrationFailed = false;
    registrationStatus = 0;
  } else {
    loop = std::make_unique<LibreLoop>();
  }
  readTraversalSettings();
  const std::string nextHop = nextHopHost(settings);
  // Without a proxy the next hop is the server, and the routes name it.
  serverAddress = isNumericHost(nextHop) ? nextHop : resolveHost(nextHop);
  localAddress = serverAddress.empty() ? "" : localAddressTowards(serverAddress);
  // A host that does not resolve or cannot be reached is a transport
  // failure without any SIP response.
  if (localAddress.empty()) {
    failRegistration(statusForTransportError(EHOSTUNREACH));
    return;
  }
  mediaPort = std::make_unique<QavMediaPort>(&analyzer, sink);
  mediaPort->startClock();
  bindStack();
  LibreLock lock;
  account = std::make_unique<SipAccount>(*stack, settings, registrationRoutes(),
                                         [this](int status, bool active) { registrationEvent(status, active); });
}

std::unique_ptr<SipStack> LibreSession::makeStack(std::uint16_t port) const {
  SipStackOptions options;
  options.transport = settings.transport;
  options.localIp = localAddress;
  options.port = port;
  options.userAgent = userAgent;
  options.trustedCaFile = trustedCaFile();
  return std::make_unique<SipStack>(std::move(options));
}

void LibreSession::readTraversalSettings() {
  traversal = TraversalSettings{std::nullopt, settings.ice};
  if (settings.stunServer.empty()) return;
  const std::optional<StunServer> server = parseStunServer(settings.stunServer);
  if (!server) throw LibreFailure("Ungültiger STUN-Server: " + settings.stunServer);
  // A name that does not resolve counts like a server that does not answer.
  traversal.stunServer = resolveStunServer(*server);
}

void LibreSession::bindStack() {
  contactUser = settings.user;
  // Over TCP and TLS the connection carries the replies; only UDP needs the
  // NAT's public address in the contact.
  if (settings.transport == SipTransport::Udp && traversal.stunServer) {
    const std::optional<PublicAddress> mapped =
        bindOnMappedPort(localAddress, traversal.stunServer, [this](std::uint16_t port) {
          LibreLock lock;
          stack = makeStack(port);
        });
    if (mapped) {
      contactUser = publicContact(settings.user, *mapped);
      return;
    }
  }
  LibreLock lock;
  stack = makeStack(0);
}

void LibreSession::interrupt() noexcept {
  {
    std::lock_guard lock(stateMutex);
    interrupted = true;
    registrationFailed = true;
    callConfirmed = false;
    callEnded = true;
  }
  stateChanged.notify_all();
}

bool LibreSession::callGone() {
  std::lock_guard lock(stateMutex);
  return callEnded;
}

void LibreSession::registerAccount(const SipSettings& s) {
  {
    std::lock_guard lock(stateMutex);
    if (interrupted) throw std::runtime_error("SIP-Registrierung abgebrochen.");
  }
  settings = s;
  if (settings.tlsVerify) checkTrustedCaFile(settings.tlsCaFile);
  // The STUN server's answer is awaited inside the registration's limit.
  const auto deadline = Clock::now() + std::chrono::seconds(settings.registrationTimeoutSec);
  try {
    startStack();
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(std::string("PJSIP: ") + error.what());
  }
  std::unique_lock lock(stateMutex);
  stateChanged.wait_until(lock, deadline, [this] { return registered || registrationFailed; });
  if (registered) return;
  if (registrationFailed) {
    throw std::runtime_error("SIP-Registrierung fehlgeschlagen (SIP " + std::to_string(registrationStatus) + ").");
  }
  throw std::runtime_error("Zeitüberschreitung bei der SIP-Registrierung.");
}

void LibreSession::placeCall(const std::string& target) {
  {
    std::lock_guard lock(stateMutex);
    callConfirmed = false;
    callEnded = interrupted;
    mediaActive = false;
    signals.clear();
  }
  analyzer.reset();
  const std::string uri = callRequestUri(dialledTarget(target, settings.dialPrefix), settings.server);
  try {
    if (!stack || !account || !mediaPort) throw LibreFailure(libreErrorText(ENOTCONN));
    LibreLock lock;
    mediaPort->detach();
    call.reset();
    call = std::make_unique<SessionCall>(this, *stack, localAddress, mediaPort->jitterBuffer(), traversal);
    call->connect(CallRequest{uri, accountUri(settings), contactUser, callRoutes(), account->challengeAnswerer()});
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(std::string("PJSIP-Anruf: ") + error.what());
  }
  const auto deadline = Clock::now() + std::chrono::seconds(settings.callTimeoutSec);
  std::unique_lock lock(stateMutex);
  stateChanged.wait_until(lock, deadline, [this] { return (callConfirmed && mediaActive) || callEnded; });
  if (callConfirmed && mediaActive) return;
  if (callEnded) throw std::runtime_error("Anruf fehlgeschlagen (SIP " + std::to_string(callStatus) + ").");
  throw std::runtime_error("Zeitüberschreitung beim Anrufaufbau.");
}

void LibreSession::sendEvents(const std::string& digits) {
  for (std::size_t i = 0; i < digits.size(); ++i) {
    bool active = false;
    bool accepted = false;
    {
      LibreLock lock;
      active = call && call->isActive();
      accepted = active && call->audio().eventsAccepted();
    }
    // Like an INFO, an event cannot go into a call that has ended meanwhile.
    if (!active || callGone()) checkLibre(ENOTCONN);
    if (!accepted) throw LibreFailure("die Gegenstelle hat telephone-event nicht angenommen");
    const int code = telephoneEventCode(digits[i]);
    if (code < 0) throw LibreFailure(std::string("kein DTMF-Zeichen: ") + digits[i]);
    mediaPort->queueEvent(code, settings.dtmfToneMs);
    const std::uint32_t pause = settings.dtmfToneMs + (i + 1 < digits.size() ? settings.dtmfGapMs : 0);
    if (pause > 0) std::this_thread::sleep_for(milliseconds(pause));
  }
}

void LibreSession::awaitInfoResponse(Clock::time_point deadline) {
  std::unique_lock lock(stateMutex);
  stateChanged.wait_until(lock, deadline, [this] { return infoStatus.has_value() || callEnded; });
  if (infoStatus && *infoStatus >= 300) {
    throw LibreFailure("SIP " + std::to_string(*infoStatus) + " " + infoReason);
  }
}

void LibreSession::sendInfos(const std::string& digits) {
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const std::string body =
        std::string("Signal=") + digits[i] + "\r\nDuration=" + std::to_string(settings.dtmfToneMs) + "\r\n";
    {
      std::lock_guard lock(stateMutex);
      infoStatus.reset();
    }
    const std::uint32_t pause = settings.dtmfToneMs + (i + 1 < digits.size() ? settings.dtmfGapMs : 0);
    const auto deadline = Clock::now() + milliseconds(pause);
    if (callGone()) checkLibre(ENOTCONN);
    {
      LibreLock lock;
      if (!call || !call->isActive()) checkLibre(ENOTCONN);
      call->sendInfo(body);
    }
    // A refusal that arrives within the digit's time fails the digit; the
    // far end's answer is not awaited beyond it.
    awaitInfoResponse(deadline);
    std::this_thread::sleep_until(deadline);
  }
}

void LibreSession::sendInband(const std::string& digits) {
  {
    std::lock_guard lock(mediaPort->fifoMutex);
    for (std::size_t i = 0; i < digits.size(); ++i) {
      const auto pair = dtmfTonePair(digits[i]);
      if (!pair) throw std::runtime_error(std::string("Ungültiges DTMF-Zeichen: ") + digits[i]);
      appendDtmfTone(mediaPort->sampleFifo, *pair, settings.dtmfToneMs);
      if (i + 1 < digits.size()) appendSilence(mediaPort->sampleFifo, settings.dtmfGapMs);
    }
  }
  const auto deadline =
      Clock::now() + milliseconds(static_cast<std::uint64_t>(settings.dtmfToneMs + settings.dtmfGapMs) *
                                  digits.size()) +
      inbandDrainSlack;
  std::unique_lock lock(mediaPort->fifoMutex);
  mediaPort->fifoDrained.wait_until(lock, deadline, [this] { return mediaPort->sampleFifo.empty(); });
  if (!mediaPort->sampleFifo.empty()) {
    throw std::runtime_error("Inband-DTMF-Ausgabepuffer wurde nicht abgearbeitet.");
  }
}

void LibreSession::sendDigits(const std::string& digits) {
  if (digits.empty()) return;
  {
    std::lock_guard lock(stateMutex);
    if (!callConfirmed || callEnded) {
      throw std::runtime_error("DTMF kann ohne aktive Verbindung nicht gesendet werden.");
    }
  }
  analyzer.setEnabled(false);
  {
    std::lock_guard lock(stateMutex);
    signals.clear();
  }
  try {
    switch (settings.dtmfMethod) {
      case DtmfMethod::Rfc4733: sendEvents(digits); break;
      case DtmfMethod::SipInfo: sendInfos(digits); break;
      case DtmfMethod::Inband: sendInband(digits); break;
    }
  } catch (const LibreFailure& failure) {
    analyzer.setEnabled(true);
    throw std::runtime_error(std::string("DTMF konnte nicht gesendet werden: ") + failure.what());
  } catch (...) {
    analyzer.setEnabled(true);
    throw;
  }
  analyzer.setEnabled(true);
}

std::optional<Signal> LibreSession::waitSignal(std::int64_t timeoutMs) {
  std::unique_lock lock(stateMutex);
  const auto start = Clock::now();
  auto takeOldest = [this] {
    const Signal signal = signals.front();
    signals.pop_front();
    return signal;
  };
  if (!signals.empty()) return takeOldest();
  const auto deadline = start + milliseconds(timeoutMs);
  while (!callEnded && Clock::now() < deadline) {
    stateChanged.wait_until(lock, deadline);
    if (Clock::now() >= deadline) break;
    if (!signals.empty()) return takeOldest();
  }
  if (!signals.empty()) return takeOldest();
  return std::nullopt;
}

bool LibreSession::isConnected() {
  std::lock_guard lock(stateMutex);
  return callConfirmed && !callEnded;
}

void LibreSession::hangup() noexcept {
  try {
    if (!call || !loop) return;
    bool released = false;
    {
      LibreLock lock;
      if (call->isActive()) {
        call->release();
        released = true;
      }
      if (mediaPort) mediaPort->detach();
    }
    if (released) callEvent(false, true, std::nullopt);
  } catch (...) {
  }
}

void LibreSession::releaseObjects() noexcept {
  if (mediaPort) mediaPort->stopClock();
  LibreLock lock;
  if (mediaPort) mediaPort->detach();
  call.reset();
  mediaPort.reset();
  account.reset();
  stack.reset();
}

void LibreSession::tearDown() noexcept {
  hangup();
  try {
    waitState(Clock::now() + callEndWait, [this] { return callEnded || !call; });
  } catch (...) {
  }
  try {
    // The CANCEL or BYE of the call just released, and after a CANCEL the
    // INVITE's own final response: a 200 that crossed the CANCEL must still
    // find the stack there to acknowledge it and send the BYE.
    waitForAnswers(stack.get(), {"INVITE", "BYE", "CANCEL"}, callEndWait);
  } catch (...) {
  }
  {
    // Released, the account sends the unregistering REGISTER.
    LibreLock lock;
    account.reset();
  }
  try {
    waitForAnswers(stack.get(), {"REGISTER"}, unregisterWait);
  } catch (...) {
  }
  releaseObjects();
}

void LibreSession::shutdown() noexcept {
  if (!loop) return;
  tearDown();
  loop->stop();
  loop.reset();
}

}  // namespace

std::unique_ptr<TelephonySession> createTelephonySession(CallAudioSink* audioSink) {
  return std::make_unique<LibreSession>(audioSink);
}

}  // namespace qav
