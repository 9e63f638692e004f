// libre's SIP stack for one account: DNS client, one transport on the
// local address towards the server, the session socket, stray requests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <set>
#include <string>

#include "settings/settings.h"
#include "telephony/unanswered_requests.h"

struct dnsc;
struct tls;
struct sip;
struct sip_lsnr;
struct sipsess_sock;
struct sip_msg;
struct udp_helper;

namespace qav {

// Every member runs on libre's worker thread or under a LibreLock.
// Incoming calls are refused (the program only calls out) and OPTIONS is
// answered; requests inside a call belong to the call's session.
class SipStack {
 public:
  // Port 0 takes any free one. Over TLS the server's certificate is checked
  // against trustedCaFile, or not at all when it is empty. Throws
  // std::runtime_error with libre's error text.
  SipStack(SipTransport transport, const std::string& localIp, std::uint16_t port = 0,
           const std::string& trustedCaFile = {});
  ~SipStack();
  SipStack(const SipStack&) = delete;
  SipStack& operator=(const SipStack&) = delete;

  struct sip* sip() const { return stack; }
  struct sipsess_sock* sessions() const { return sessionSocket; }

  // Whether a request of one of these methods was sent and its final
  // response has not arrived yet (retransmissions count once).
  bool awaitingAnswer(std::initializer_list<const char*> methods) const;
  // Whether such a request has had no response at all yet, not even 100.
  bool unheard(std::initializer_list<const char*> methods) const { return unanswered.unheard(methods); }

  // libre prints every datagram it cannot decode as SIP to standard error,
  // which carries only the program's own error lines. Once a message shows
  // which UDP socket the transport uses, such datagrams are dropped before
  // libre sees them.
  void guardSocket(const struct sip_msg* msg);

  // libre's trace handler, with the stack as its argument.
  void traced(bool sent, const std::uint8_t* packet, std::size_t length);

 private:
  void release();
  void releaseListeners();

  struct dnsc* dns = nullptr;
  struct tls* tlsContext = nullptr;
  struct sip* stack = nullptr;
  struct sipsess_sock* sessionSocket = nullptr;
  struct sip_lsnr* optionsListener = nullptr;
  struct sip_lsnr* requestFallback = nullptr;
  struct sip_lsnr* responseFallback = nullptr;
  struct udp_helper* undecodableFilter = nullptr;
  UnansweredRequests unanswered;
};

}  // namespace qav
