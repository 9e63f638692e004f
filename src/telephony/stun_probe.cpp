#include "telephony/stun_probe.h"

#include <re.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include "telephony/libre_loop.h"
#include "telephony/media_traversal.h"

namespace qav {
namespace {

// Filled on the worker, read by the waiting caller.
struct ProbeAnswer {
  std::mutex mutex;
  std::condition_variable arrived;
  std::optional<PublicAddress> mapped;
};

void ignoreDatagram(const struct sa*, struct mbuf*, void*) {}

void answered(int err, const struct sa* address, void* arg) {
  if (err || !address) return;
  auto* answer = static_cast<ProbeAnswer*>(arg);
  char host[64] = {};
  if (sa_ntop(address, host, sizeof host) != 0) return;
  {
    std::lock_guard lock(answer->mutex);
    if (!answer->mapped) answer->mapped = PublicAddress{host, sa_port(address)};
  }
  answer->arrived.notify_all();
}

}  // namespace

UdpMapping probeUdpMapping(const std::string& localIp, const StunServer& server, std::chrono::milliseconds limit) {
  UdpMapping result;
  ProbeAnswer answer;
  struct udp_sock* socket = nullptr;
  struct stun_keepalive* keepalive = nullptr;
  {
    LibreLock lock;
    struct sa local {};
    struct sa destination {};
    if (sa_set_str(&local, localIp.c_str(), 0) != 0 ||
        sa_set_str(&destination, server.host.c_str(), server.port) != 0 ||
        udp_listen(&socket, &local, ignoreDatagram, nullptr) != 0) {
      return result;
    }
    struct sa bound {};
    if (udp_local_get(socket, &bound) == 0) result.localPort = sa_port(&bound);
    if (stun_keepalive_alloc(&keepalive, IPPROTO_UDP, socket, 0, &destination, nullptr, answered, &answer) == 0) {
      // Any interval: only the first request is sent before the port closes.
      stun_keepalive_enable(keepalive, 60);
    }
  }
  if (keepalive) {
    std::unique_lock lock(answer.mutex);
    answer.arrived.wait_for(lock, limit, [&] { return answer.mapped.has_value(); });
  }
  {
    LibreLock lock;
    mem_deref(keepalive);
    mem_deref(socket);
  }
  std::lock_guard lock(answer.mutex);
  result.mapped = answer.mapped;
  return result;
}

std::optional<PublicAddress> bindOnMappedPort(const std::string& localIp, std::optional<StunServer>& server,
                                              const std::function<void(std::uint16_t port)>& bind) {
  constexpr int attempts = 3;
  for (int attempt = 0; server && attempt < attempts; ++attempt) {
    const UdpMapping mapping = probeUdpMapping(localIp, *server, stunAnswerWait);
    if (!mapping.mapped) {
      if (mapping.localPort) server.reset();
      return std::nullopt;
    }
    try {
      bind(mapping.localPort);
      return mapping.mapped;
    } catch (const std::runtime_error&) {
      // The port was taken between the probe and the bind.
    }
  }
  return std::nullopt;
}

std::string publicContact(const std::string& user, const PublicAddress& address) {
  const bool ipv6 = address.host.find(':') != std::string::npos;
  const std::string host = ipv6 ? "[" + address.host + "]" : address.host;
  return "sip:" + user + "@" + host + ":" + std::to_string(address.port);
}

}  // namespace qav
