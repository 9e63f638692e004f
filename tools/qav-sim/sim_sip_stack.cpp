#include "qav-sim/sim_sip_stack.h"

#include <re.h>

#include <cstring>
#include <stdexcept>

#include "telephony/libre_compat.h"
#include "telephony/libre_error.h"

namespace qav::sim {

namespace {

constexpr char kUserAgent[] = "qav-sim";
constexpr char kAllowedMethods[] = "INVITE, ACK, BYE, CANCEL, INFO, OPTIONS";

void check(int err) {
  if (err) throw std::runtime_error(libreErrorText(err));
}

enum sip_transp libreTransport(SipTransport transport) {
  switch (transport) {
    case SipTransport::Tcp: return SIP_TRANSP_TCP;
    case SipTransport::Tls: return SIP_TRANSP_TLS;
    case SipTransport::Udp: break;
  }
  return SIP_TRANSP_UDP;
}

bool answerOptions(const struct sip_msg* msg, void* arg) {
  if (pl_strcmp(&msg->met, "OPTIONS") != 0) return false;
  (void)sip_replyf(static_cast<struct sip*>(arg), msg, 200, "OK",
                   "Allow: %s\r\nAccept: application/sdp, application/dtmf-relay\r\nContent-Length: 0\r\n\r\n",
                   kAllowedMethods);
  return true;
}

// Last in line: libre would print what nobody handled to standard error.
bool answerUnhandledRequest(const struct sip_msg* msg, void* arg) {
  auto* stack = static_cast<struct sip*>(arg);
  if (pl_strcmp(&msg->met, "CANCEL") == 0) {
    (void)sip_reply(stack, msg, 481, "Transaction Does Not Exist");
  } else if (pl_strcmp(&msg->met, "BYE") == 0 || pl_strcmp(&msg->met, "INFO") == 0) {
    (void)sip_reply(stack, msg, 481, "Call/Transaction Does Not Exist");
  } else if (pl_strcmp(&msg->met, "ACK") != 0) {
    (void)sip_reply(stack, msg, 501, "Not Implemented");
  }
  return true;
}

bool dropUnhandledResponse(const struct sip_msg*, void*) { return true; }

}  // namespace

SimSipStack::SimSipStack(SipTransport transport, const std::string& localIp, std::uint16_t port,
                         CallHandler onCall)
    : transport_(transport), onCall_(std::move(onCall)) {
  try {
    // Numeric hosts only: the agent resolves names the system's way first.
    check(dnsc_alloc(&dns_, nullptr, nullptr, 0));
    check(sip_alloc(&stack_, dns_, 32, 32, 32, kUserAgent, nullptr, this));
    sip_set_trace_handler(stack_, [](bool sent, enum sip_transp, const struct sa*, const struct sa*,
                                     const std::uint8_t* packet, size_t length, void* arg) {
      static_cast<SimSipStack*>(arg)->traced(sent, packet, length);
    });
    struct sa address {};
    check(sa_set_str(&address, localIp.c_str(), port));
    if (transport == SipTransport::Tls) {
      check(tlsAlloc(&tls_));
      check(tlsSelfSigned(tls_, kUserAgent));
      // Its own REGISTER does not check the PBX, as qav-cli by default.
      check(tlsVerifyServer(tls_, false, nullptr));
      check(sip_transp_add(stack_, SIP_TRANSP_TLS, &address, tls_));
    } else {
      check(sip_transp_add(stack_, libreTransport(transport), &address));
    }
    check(sipsess_listen(
        &sessions_, stack_, 32,
        [](const struct sip_msg* msg, void* arg) { static_cast<SimSipStack*>(arg)->incomingCall(msg); }, this));
    check(sip_listen(&options_, stack_, true, answerOptions, stack_));
    check(sip_listen(&requestFallback_, stack_, true, answerUnhandledRequest, stack_));
    check(sip_listen(&responseFallback_, stack_, false, dropUnhandledResponse, nullptr));
  } catch (...) {
    release();
    throw;
  }
}

SimSipStack::~SimSipStack() { release(); }

void SimSipStack::release() {
  responseFallback_ = static_cast<struct sip_lsnr*>(mem_deref(responseFallback_));
  requestFallback_ = static_cast<struct sip_lsnr*>(mem_deref(requestFallback_));
  options_ = static_cast<struct sip_lsnr*>(mem_deref(options_));
  sessions_ = static_cast<struct sipsess_sock*>(mem_deref(sessions_));
  if (stack_) {
    sip_close(stack_, true);
    stack_ = static_cast<struct sip*>(mem_deref(stack_));
  }
  tls_ = static_cast<struct tls*>(mem_deref(tls_));
  dns_ = static_cast<struct dnsc*>(mem_deref(dns_));
}

std::string SimSipStack::localAddress() const {
  struct sa address {};
  if (sip_transp_laddr(stack_, &address, libreTransport(transport_), nullptr) != 0) return "";
  char host[64] = {};
  if (sa_ntop(&address, host, sizeof host) != 0) return "";
  return std::string(host) + ":" + std::to_string(sa_port(&address));
}

void SimSipStack::traced(bool sent, const std::uint8_t* packet, std::size_t length) {
  unanswered_.traced(sent, packet, length);
}

bool SimSipStack::awaitingAnswer(std::initializer_list<const char*> methods) const {
  return unanswered_.awaiting(methods);
}

}  // namespace qav::sim
