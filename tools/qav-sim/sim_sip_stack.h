// libre's SIP stack for the answering side: one transport on a local
// address, incoming calls handed to the agent, OPTIONS and stray requests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <set>
#include <string>

#include "settings/settings.h"
#include "telephony/unanswered_requests.h"

struct dnsc;
struct tls;
struct sip;
struct sip_lsnr;
struct sip_msg;
struct sipsess_sock;

namespace qav::sim {

// Every member runs on libre's worker thread or under a LibreLock.
class SimSipStack {
 public:
  // Called with every INVITE that opens a call.
  using CallHandler = std::function<void(const struct sip_msg* invite)>;

  // Port 0 takes any free one. TLS presents a self-signed certificate: a
  // PBX or caller connecting to us must not insist on verifying it.
  // Throws std::runtime_error with libre's error text.
  SimSipStack(SipTransport transport, const std::string& localIp, std::uint16_t port, CallHandler onCall);
  ~SimSipStack();
  SimSipStack(const SimSipStack&) = delete;
  SimSipStack& operator=(const SimSipStack&) = delete;

  struct sip* sip() const { return stack_; }
  struct sipsess_sock* sessions() const { return sessions_; }
  // "address:port" of the transport, for a caller that dials us directly.
  std::string localAddress() const;

  // Whether a request of one of these methods was sent and its final answer
  // has not come yet (retransmissions count once).
  bool awaitingAnswer(std::initializer_list<const char*> methods) const;
  void traced(bool sent, const std::uint8_t* packet, std::size_t length);

  void incomingCall(const struct sip_msg* invite) { onCall_(invite); }

 private:
  void release();

  SipTransport transport_;
  CallHandler onCall_;
  struct dnsc* dns_ = nullptr;
  struct tls* tls_ = nullptr;
  struct sip* stack_ = nullptr;
  struct sipsess_sock* sessions_ = nullptr;
  struct sip_lsnr* options_ = nullptr;
  struct sip_lsnr* requestFallback_ = nullptr;
  struct sip_lsnr* responseFallback_ = nullptr;
  UnansweredRequests unanswered_;
};

}  // namespace qav::sim
