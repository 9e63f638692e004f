#include "telephony/sip_stack.h"

#include <re.h>

#include <thread>

#include "telephony/libre_compat.h"
#include "telephony/libre_error.h"
#include "telephony/libre_loop.h"

namespace qav {
namespace {

constexpr char allowedMethods[] = "INVITE, ACK, BYE, CANCEL, INFO, OPTIONS";
constexpr std::chrono::milliseconds answerPollStep{10};

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

bool answerOptions(const struct sip_msg* msg, void* arg) {
  if (pl_strcmp(&msg->met, "OPTIONS") != 0) return false;
  auto* stack = static_cast<SipStack*>(arg);
  (void)sip_replyf(stack->sip(), msg, 200, "OK", "Allow: %s\r\nAccept: %s\r\nContent-Length: 0\r\n\r\n",
                   allowedMethods, stack->accepts().c_str());
  return true;
}

// Last in line: libre would print what nobody handled to standard error,
// which belongs to the program's own error lines.
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

void callOffered(const struct sip_msg* msg, void* arg) { static_cast<SipStack*>(arg)->incomingCall(msg); }

}  // namespace

SipStack::SipStack(SipStackOptions stackOptions) : options(std::move(stackOptions)) {
  try {
    dns = systemDnsClient();
    checkLibre(sip_alloc(&stack, dns, 32, 32, 32, options.userAgent.c_str(), nullptr, this));
    sip_set_trace_handler(stack, tracePacket);
    struct sa address {};
    checkLibre(sa_set_str(&address, options.localIp.c_str(), options.port));
    if (options.transport == SipTransport::Tls) {
      checkLibre(tlsAlloc(&tlsContext));
      if (options.selfSignedCertificate) checkLibre(tlsSelfSigned(tlsContext, options.userAgent.c_str()));
      checkLibre(tlsVerifyServer(tlsContext, !options.trustedCaFile.empty(), options.trustedCaFile.c_str()));
      checkLibre(sip_transp_add(stack, SIP_TRANSP_TLS, &address, tlsContext));
    } else {
      checkLibre(sip_transp_add(stack, libreTransport(options.transport), &address));
    }
    checkLibre(sipsess_listen(&sessionSocket, stack, 32, callOffered, this));
    checkLibre(sip_listen(&optionsListener, stack, true, answerOptions, this));
    checkLibre(sip_listen(&requestFallback, stack, true, answerUnhandledRequest, stack));
    checkLibre(sip_listen(&responseFallback, stack, false, dropUnhandledResponse, nullptr));
  } catch (...) {
    release();
    throw;
  }
}

SipStack::~SipStack() { release(); }

void SipStack::release() {
  // Before the socket it sits on goes with the transports.
  undecodableFilter = static_cast<struct udp_helper*>(mem_deref(undecodableFilter));
  responseFallback = static_cast<struct sip_lsnr*>(mem_deref(responseFallback));
  requestFallback = static_cast<struct sip_lsnr*>(mem_deref(requestFallback));
  optionsListener = static_cast<struct sip_lsnr*>(mem_deref(optionsListener));
  sessionSocket = static_cast<struct sipsess_sock*>(mem_deref(sessionSocket));
  if (stack) {
    // Whatever is still in flight ends here; the owner has waited for the
    // answers it cares about.
    sip_close(stack, true);
    stack = static_cast<struct sip*>(mem_deref(stack));
  }
  tlsContext = static_cast<struct tls*>(mem_deref(tlsContext));
  dns = static_cast<struct dnsc*>(mem_deref(dns));
}

void SipStack::incomingCall(const struct sip_msg* invite) {
  if (options.onCall) {
    options.onCall(invite);
  } else {
    (void)sip_treply(nullptr, stack, invite, 603, "Decline");
  }
}

std::string SipStack::localAddress() const {
  struct sa address {};
  if (sip_transp_laddr(stack, &address, libreTransport(options.transport), nullptr) != 0) return "";
  char host[64] = {};
  if (sa_ntop(&address, host, sizeof host) != 0) return "";
  return std::string(host) + ":" + std::to_string(sa_port(&address));
}

void SipStack::guardSocket(const struct sip_msg* msg) {
  if (undecodableFilter || !msg || msg->tp != SIP_TRANSP_UDP || !msg->sock) return;
  // Any layer will do: no other helper sits on the SIP socket.
  (void)udp_register_helper(&undecodableFilter, static_cast<struct udp_sock*>(msg->sock), 0, nullptr,
                            dropUndecodable, nullptr);
}

void SipStack::traced(bool sent, const std::uint8_t* packet, std::size_t length) {
  unanswered.traced(sent, packet, length);
}

bool SipStack::awaitingAnswer(std::initializer_list<const char*> methods) const {
  return unanswered.awaiting(methods);
}

void waitForAnswers(const SipStack* stack, std::initializer_list<const char*> methods,
                    std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (stack && std::chrono::steady_clock::now() < deadline) {
    {
      LibreLock lock;
      if (!stack->awaitingAnswer(methods)) return;
    }
    std::this_thread::sleep_for(answerPollStep);
  }
}

}  // namespace qav
