#include "telephony/sip_stack.h"

#include <re.h>

#include <cstring>

#include "telephony/libre_compat.h"
#include "telephony/libre_error.h"

namespace qav {
namespace {

constexpr char userAgent[] = "qav-cli";
constexpr char allowedMethods[] = "INVITE, ACK, BYE, CANCEL, INFO, OPTIONS";

enum sip_transp libreTransport(SipTransport transport) {
  switch (transport) {
    case SipTransport::Tcp: return SIP_TRANSP_TCP;
    case SipTransport::Tls: return SIP_TRANSP_TLS;
    case SipTransport::Udp: break;
  }
  return SIP_TRANSP_UDP;
}

struct dnsc* systemDnsClient() {
  char domain[64] = {};
  struct sa servers[4];
  std::uint32_t count = 4;
  // Without name servers the client still works for numeric hosts.
  if (dns_srv_get(domain, sizeof domain, servers, &count) != 0) count = 0;
  struct dnsc* client = nullptr;
  checkLibre(dnsc_alloc(&client, nullptr, servers, count));
  return client;
}

void refuseCall(const struct sip_msg* msg, void* arg) {
  auto* stack = static_cast<struct sip*>(arg);
  (void)sip_treply(nullptr, stack, msg, 603, "Decline");
}

bool answerOptions(const struct sip_msg* msg, void* arg) {
  if (pl_strcmp(&msg->met, "OPTIONS") != 0) return false;
  (void)sip_replyf(static_cast<struct sip*>(arg), msg, 200, "OK",
                   "Allow: %s\r\nAccept: application/sdp\r\nContent-Length: 0\r\n\r\n", allowedMethods);
  return true;
}

// Last in line: libre would print what nobody handled to standard error,
// which belongs to the program's own error lines.
bool answerUnhandledRequest(const struct sip_msg* msg, void* arg) {
  auto* stack = static_cast<struct sip*>(arg);
  if (pl_strcmp(&msg->met, "CANCEL") == 0) {
    (void)sip_reply(stack, msg, 481, "Transaction Does Not Exist");
  } else if (pl_strcmp(&msg->met, "ACK") != 0) {
    (void)sip_reply(stack, msg, 501, "Not Implemented");
  }
  return true;
}

bool dropUnhandledResponse(const struct sip_msg*, void*) { return true; }

// STUN goes on to the transport, which answers it; what is neither STUN
// nor SIP is dropped here.
bool dropUndecodable(struct sa*, struct mbuf* mb, void*) {
  const std::size_t start = mb->pos;
  struct stun_unknown_attr unknown {};
  struct stun_msg* stun = nullptr;
  bool drop = false;
  if (stun_msg_decode(&stun, mb, &unknown) == 0) {
    mem_deref(stun);
  } else {
    mb->pos = start;
    struct sip_msg* msg = nullptr;
    drop = mbuf_get_left(mb) <= 4 || sip_msg_decode(&msg, mb) != 0;
    mem_deref(msg);
  }
  mb->pos = start;
  return drop;
}

void tracePacket(bool sent, enum sip_transp, const struct sa*, const struct sa*, const std::uint8_t* packet,
                 size_t length, void* arg) {
  static_cast<SipStack*>(arg)->traced(sent, packet, length);
}

}  // namespace

SipStack::SipStack(SipTransport transport, const std::string& localIp, std::uint16_t port,
                   const std::string& trustedCaFile) {
  try {
    dns = systemDnsClient();
    checkLibre(sip_alloc(&stack, dns, 32, 32, 32, userAgent, nullptr, this));
    sip_set_trace_handler(stack, tracePacket);
    struct sa address {};
    checkLibre(sa_set_str(&address, localIp.c_str(), port));
    if (transport == SipTransport::Tls) {
      // No certificate or key of our own.
      checkLibre(tlsAlloc(&tlsContext));
      checkLibre(tlsVerifyServer(tlsContext, !trustedCaFile.empty(), trustedCaFile.c_str()));
      checkLibre(sip_transp_add(stack, SIP_TRANSP_TLS, &address, tlsContext));
    } else {
      checkLibre(sip_transp_add(stack, libreTransport(transport), &address));
    }
    checkLibre(sipsess_listen(&sessionSocket, stack, 32, refuseCall, stack));
    checkLibre(sip_listen(&optionsListener, stack, true, answerOptions, stack));
    checkLibre(sip_listen(&requestFallback, stack, true, answerUnhandledRequest, stack));
    checkLibre(sip_listen(&responseFallback, stack, false, dropUnhandledResponse, stack));
  } catch (...) {
    release();
    throw;
  }
}

SipStack::~SipStack() { release(); }

void SipStack::releaseListeners() {
  responseFallback = static_cast<struct sip_lsnr*>(mem_deref(responseFallback));
  requestFallback = static_cast<struct sip_lsnr*>(mem_deref(requestFallback));
  optionsListener = static_cast<struct sip_lsnr*>(mem_deref(optionsListener));
}

void SipStack::guardSocket(const struct sip_msg* msg) {
  if (undecodableFilter || !msg || msg->tp != SIP_TRANSP_UDP || !msg->sock) return;
  // Any layer will do: no other helper sits on the SIP socket.
  (void)udp_register_helper(&undecodableFilter, static_cast<struct udp_sock*>(msg->sock), 0, nullptr,
                            dropUndecodable, nullptr);
}

void SipStack::release() {
  // Before the socket it sits on goes with the transports.
  undecodableFilter = static_cast<struct udp_helper*>(mem_deref(undecodableFilter));
  releaseListeners();
  sessionSocket = static_cast<struct sipsess_sock*>(mem_deref(sessionSocket));
  if (stack) {
    // Whatever is still in flight ends here; the session has waited for the
    // answers it cares about.
    sip_close(stack, true);
    stack = static_cast<struct sip*>(mem_deref(stack));
  }
  tlsContext = static_cast<struct tls*>(mem_deref(tlsContext));
  dns = static_cast<struct dnsc*>(mem_deref(dns));
}

void SipStack::traced(bool sent, const std::uint8_t* packet, std::size_t length) {
  unanswered.traced(sent, packet, length);
}

bool SipStack::awaitingAnswer(std::initializer_list<const char*> methods) const {
  return unanswered.awaiting(methods);
}

}  // namespace qav
