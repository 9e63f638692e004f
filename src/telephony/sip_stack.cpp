#include "telephony/sip_stack.h"

#include <re.h>

#include <stdexcept>

#include "telephony/libre_error.h"

namespace qav {
namespace {

constexpr char userAgent[] = "qav-cli";
constexpr char allowedMethods[] = "INVITE, ACK, BYE, CANCEL, INFO, OPTIONS";

void throwOnError(int err) {
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

struct dnsc* systemDnsClient() {
  char domain[64] = {};
  struct sa servers[4];
  std::uint32_t count = 4;
  // Without name servers the client still works for numeric hosts.
  if (dns_srv_get(domain, sizeof domain, servers, &count) != 0) count = 0;
  struct dnsc* client = nullptr;
  throwOnError(dnsc_alloc(&client, nullptr, servers, count));
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

void markExited(void* arg) { static_cast<std::atomic<bool>*>(arg)->store(true); }

}  // namespace

SipStack::SipStack(SipTransport transport, const std::string& localIp) {
  try {
    dns = systemDnsClient();
    throwOnError(sip_alloc(&stack, dns, 32, 32, 32, userAgent, markExited, &exited));
    struct sa address {};
    throwOnError(sa_set_str(&address, localIp.c_str(), 0));
    if (transport == SipTransport::Tls) {
      // No certificate, key or verification: the server is not checked.
      throwOnError(tls_alloc(&tlsContext, TLS_METHOD_SSLV23, nullptr, nullptr));
      throwOnError(sip_transp_add(stack, SIP_TRANSP_TLS, &address, tlsContext));
    } else {
      throwOnError(sip_transp_add(stack, libreTransport(transport), &address));
    }
    throwOnError(sipsess_listen(&sessionSocket, stack, 32, refuseCall, stack));
    throwOnError(sip_listen(&optionsListener, stack, true, answerOptions, stack));
    throwOnError(sip_listen(&requestFallback, stack, true, answerUnhandledRequest, stack));
    throwOnError(sip_listen(&responseFallback, stack, false, dropUnhandledResponse, stack));
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

void SipStack::release() {
  releaseListeners();
  sessionSocket = static_cast<struct sipsess_sock*>(mem_deref(sessionSocket));
  if (stack) {
    sip_close(stack, true);
    if (!closing) mem_deref(stack);
    // After a graceful close has finished, libre holds the stack again for
    // its exit handler; this releases it for good.
    else if (exited) mem_deref(stack);
    stack = nullptr;
  }
  tlsContext = static_cast<struct tls*>(mem_deref(tlsContext));
  dns = static_cast<struct dnsc*>(mem_deref(dns));
}

void SipStack::beginClose() {
  if (closing || !stack) return;
  closing = true;
  sessionSocket = static_cast<struct sipsess_sock*>(mem_deref(sessionSocket));
  sip_close(stack, false);
}

}  // namespace qav
