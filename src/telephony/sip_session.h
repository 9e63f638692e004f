// A call's SIP dialogue by libre's sipsess: an INVITE sent with our offer,
// or an INVITE received and answered; the handlers of either kind.
#pragma once

#include <re.h>

#include <string>
#include <vector>

#include "telephony/libre_compat.h"

namespace qav {

class SipStack;

// libre's handlers of one call, all with the same argument. progressed is
// called only for an outgoing call.
struct SessionHandlers {
  sipsess_offer_h* offered = nullptr;
  sipsess_answer_h* answered = nullptr;
  sipsess_progr_h* progressed = nullptr;
  sipsess_estab_h* established = nullptr;
  sipsess_info_h* infoReceived = nullptr;
  sipsess_close_h* closed = nullptr;
  void* arg = nullptr;
};

// What the INVITE needs; kept until it leaves.
struct CallRequest {
  std::string requestUri;
  std::string fromUri;
  // A user, or a whole SIP URI when the contact is the NAT's public address.
  std::string contactUser;
  std::vector<std::string> routes;
  // The account's digest credentials (see makeSipCredentials).
  void* credentials = nullptr;
};

// On libre's worker thread or under a LibreLock; libre error code on
// failure. Releasing the session with mem_deref ends the call: CANCEL or
// BYE for an outgoing one, a decline or BYE for an accepted one.
// describe gives our offer for each INVITE libre sends (see SipsessDescribe).
int connectSession(struct sipsess** session, SipStack& stack, const CallRequest& request,
                   SipsessDescribe* describe, const SessionHandlers& handlers);
// Answers the INVITE with status (a provisional one keeps it open for
// sipsess_answer); description is our SDP or none; headers end in CRLF.
int acceptSession(struct sipsess** session, SipStack& stack, const struct sip_msg* invite, int status,
                  const char* reason, const std::string& contactUser, struct mbuf* description, const char* headers,
                  const SessionHandlers& handlers);

}  // namespace qav
