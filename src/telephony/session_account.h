// The SIP account of the session: registration by libre's sipreg with
// digest credentials; onRegState passes each result on to the session.
#pragma once

#include <re.h>

#include <string>
#include <vector>

#include "settings/settings.h"
#include "telephony/libre_compat.h"
#include "telephony/libre_error.h"
#include "telephony/session_events.h"
#include "telephony/sip_addressing.h"
#include "telephony/sip_credentials.h"
#include "telephony/sip_stack.h"

// Included only by libre_session.cpp: like LibreSession, this lives in that
// file's unnamed namespace.
namespace qav {
namespace {

constexpr std::uint32_t registrationExpirySec = 300;

// The registration: sipreg with the account's URIs and credentials; its
// response handler is onRegState.
class SessionAccount {
 public:
  SessionAccount(SessionEvents* owner, SipStack* sipStack) : session(owner), stack(sipStack) {}
  ~SessionAccount() { release(); }
  SessionAccount(const SessionAccount&) = delete;
  SessionAccount& operator=(const SessionAccount&) = delete;

  void create(struct sip* sip, const SipSettings& settings, const std::vector<std::string>& routes);
  // Ends the registration; libre sends the unregistering REGISTER.
  void release() {
    registration = static_cast<struct sipreg*>(mem_deref(registration));
    credentials = mem_deref(credentials);
  }
  void* challengeAnswerer() const { return credentials; }

  void onRegState(int err, const struct sip_msg* msg);

 private:
  SessionEvents* session;
  SipStack* stack;
  struct sipreg* registration = nullptr;
  void* credentials = nullptr;
};

inline void SessionAccount::create(struct sip* sip, const SipSettings& settings, const std::vector<std::string>& routes) {
  credentials = makeSipCredentials(settings.realm, digestUser(settings), settings.password);
  std::vector<const char*> routev;
  for (const std::string& route : routes) routev.push_back(route.c_str());
  const std::string registrar = registrarUri(settings);
  const std::string account = accountUri(settings);
  checkLibre(sipregRegister(
      &registration, sip, registrar.c_str(), account.c_str(), nullptr, account.c_str(), registrationExpirySec,
      settings.user.c_str(), routev.data(), static_cast<std::uint32_t>(routev.size()), 0, answerSipChallenge,
      credentials, true,
      [](int err, const struct sip_msg* msg, void* arg) { static_cast<SessionAccount*>(arg)->onRegState(err, msg); },
      this));
}

inline void SessionAccount::onRegState(int err, const struct sip_msg* msg) {
  stack->guardSocket(msg);
  if (err || !msg) {
    session->registrationEvent(statusForTransportError(err), false);
    return;
  }
  session->registrationEvent(msg->scode, msg->scode >= 200 && msg->scode < 300 && sipreg_registered(registration));
}

}  // namespace
}  // namespace qav
