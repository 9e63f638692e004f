#include "telephony/sip_account.h"

#include <re.h>

#include "telephony/libre_compat.h"
#include "telephony/libre_error.h"
#include "telephony/sip_addressing.h"
#include "telephony/sip_credentials.h"
#include "telephony/sip_stack.h"

namespace qav {

SipAccount::SipAccount(SipStack& sipStack, const SipSettings& settings, const std::vector<std::string>& routes,
                       StateHandler handler, std::uint32_t expirySec)
    : stack(sipStack), onState(std::move(handler)) {
  credentials = makeSipCredentials(settings.realm, digestUser(settings), settings.password);
  std::vector<const char*> routev;
  for (const std::string& route : routes) routev.push_back(route.c_str());
  const std::string registrar = registrarUri(settings);
  const std::string account = accountUri(settings);
  const int err = sipregRegister(
      &registration, stack.sip(), registrar.c_str(), account.c_str(), nullptr, account.c_str(), expirySec,
      settings.user.c_str(), routev.data(), static_cast<std::uint32_t>(routev.size()), 0, answerSipChallenge,
      credentials, true,
      [](int e, const struct sip_msg* msg, void* arg) { static_cast<SipAccount*>(arg)->answered(e, msg); }, this);
  if (err) {
    credentials = mem_deref(credentials);
    checkLibre(err);
  }
}

SipAccount::~SipAccount() {
  registration = static_cast<struct sipreg*>(mem_deref(registration));
  credentials = mem_deref(credentials);
}

void SipAccount::answered(int err, const struct sip_msg* msg) {
  stack.guardSocket(msg);
  if (err || !msg) {
    onState(statusForTransportError(err), false);
    return;
  }
  onState(msg->scode, msg->scode >= 200 && msg->scode < 300 && sipreg_registered(registration));
}

}  // namespace qav
