#include "telephony/sip_session.h"

#include "telephony/sip_credentials.h"
#include "telephony/sip_stack.h"

namespace qav {

int connectSession(struct sipsess** session, SipStack& stack, const CallRequest& request,
                   SipsessDescribe* describe, const SessionHandlers& h) {
  std::vector<const char*> routev;
  for (const std::string& route : request.routes) routev.push_back(route.c_str());
  return sipsessConnect(session, stack.sessions(), request.requestUri.c_str(), nullptr, request.fromUri.c_str(),
                        request.contactUser.c_str(), routev.data(), static_cast<std::uint32_t>(routev.size()),
                        "application/sdp", describe, answerSipChallenge, request.credentials, true, h.offered,
                        h.answered, h.progressed, h.established, h.infoReceived, nullptr, h.closed, h.arg);
}

int acceptSession(struct sipsess** session, SipStack& stack, const struct sip_msg* invite, int status,
                  const char* reason, const std::string& contactUser, struct mbuf* description, const char* headers,
                  const SessionHandlers& h) {
  return sipsessAccept(session, stack.sessions(), invite, static_cast<std::uint16_t>(status), reason,
                       contactUser.c_str(), "application/sdp", description, nullptr, nullptr, false, h.offered,
                       h.answered, h.established, h.infoReceived, nullptr, h.closed, h.arg, headers);
}

}  // namespace qav
