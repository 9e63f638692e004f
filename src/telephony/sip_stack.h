// libre's SIP stack for one user agent: one transport on a local address,
// the session socket, OPTIONS and stray requests answered, request tracking.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
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

struct SipStackOptions {
  // Called with every INVITE that opens a call.
  using CallHandler = std::function<void(const struct sip_msg* invite)>;

  SipTransport transport = SipTransport::Udp;
  std::string localIp;
  std::uint16_t port = 0;  // 0: any free one
  std::string userAgent;
  // Without one, incoming calls are declined: a caller only calls out.
  CallHandler onCall;
  // The bodies named in the answer to OPTIONS.
  std::string accepts = "application/sdp";
  // TLS presents a self-signed certificate with the user agent as its name,
  // for a side that others connect to and must not insist on verifying.
  bool selfSignedCertificate = false;
  // Over TLS the server's certificate is checked against these trusted
  // certificates (PEM), or not at all when empty.
  std::string trustedCaFile;
};

// Every member runs on libre's worker thread or under a LibreLock. Requests
// inside a call belong to the call's session; OPTIONS is answered, and what
// nobody handles gets a final answer rather than libre's complaint.
class SipStack {
 public:
  // Throws LibreFailure with libre's error text.
  explicit SipStack(SipStackOptions options);
  ~SipStack();
  SipStack(const SipStack&) = delete;
  SipStack& operator=(const SipStack&) = delete;

  struct sip* sip() const { return stack; }
  struct sipsess_sock* sessions() const { return sessionSocket; }
  const std::string& accepts() const { return options.accepts; }
  // "address:port" of the transport, for a caller that dials us directly.
  std::string localAddress() const;

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

  // libre's handlers, with the stack as their argument.
  void traced(bool sent, const std::uint8_t* packet, std::size_t length);
  void incomingCall(const struct sip_msg* invite);

 private:
  void release();

  SipStackOptions options;
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

// From a thread other than libre's worker, holding no LibreLock: waits
// until the stack awaits no final response to a request of these methods,
// or the limit has passed. Nothing to wait for without a stack.
void waitForAnswers(const SipStack* stack, std::initializer_list<const char*> methods,
                    std::chrono::milliseconds limit);

}  // namespace qav
