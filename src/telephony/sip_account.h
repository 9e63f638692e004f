// A SIP account at a registrar: libre's sipreg with digest credentials,
// its results passed on as a status and whether the binding is active.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "settings/settings.h"

struct sipreg;
struct sip_msg;

namespace qav {

class SipStack;

// Created, used and destroyed on libre's worker thread or under a
// LibreLock; the handler runs on the worker. The stack outlives it.
class SipAccount {
 public:
  // A final answer's status, or 408 or 503 for a request that got none;
  // registered when a 2xx leaves the binding active.
  using StateHandler = std::function<void(int status, bool registered)>;

  // Sends the REGISTER for "sip:user@server" to the registrar of the
  // settings, through the routes if any. Throws LibreFailure.
  SipAccount(SipStack& stack, const SipSettings& settings, const std::vector<std::string>& routes,
             StateHandler onState, std::uint32_t expirySec = defaultExpirySec);
  // Ends the registration: libre sends the unregistering REGISTER.
  ~SipAccount();
  SipAccount(const SipAccount&) = delete;
  SipAccount& operator=(const SipAccount&) = delete;

  // The digest credentials for the account's calls (sip_auth_h argument).
  void* challengeAnswerer() const { return credentials; }

  static constexpr std::uint32_t defaultExpirySec = 300;

 private:
  void answered(int err, const struct sip_msg* msg);

  SipStack& stack;
  StateHandler onState;
  struct sipreg* registration = nullptr;
  void* credentials = nullptr;
};

}  // namespace qav
