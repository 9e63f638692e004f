#include "packet_capture.h"

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <regex>
#include <sstream>

namespace qav::testing {

namespace {

int openPacketSocket(const void* context) {
  const auto& device = *static_cast<const std::string*>(context);
  const unsigned index = if_nametoindex(device.c_str());
  if (index == 0) return -1;
  // Only an ETH_P_ALL socket sees what the namespace sends, not just what it
  // receives.
  const int fd = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ALL));
  if (fd < 0) return -1;
  sockaddr_ll address{};
  address.sll_family = AF_PACKET;
  address.sll_protocol = htons(ETH_P_ALL);
  address.sll_ifindex = static_cast<int>(index);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

std::string addressText(const in_addr& address) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

bool looksLikeSip(const char* data, std::size_t length) {
  static const std::regex start("^(SIP/2\\.0 \\d{3}|[A-Z]+ sips?:)");
  const std::string head(data, std::min<std::size_t>(length, 32));
  return std::regex_search(head, start);
}

// RFC 5389: two zero bits, the type, the length, the magic cookie.
std::uint16_t stunTypeOf(const char* data, std::size_t length) {
  if (length < 20) return 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  if ((bytes[0] & 0xc0) != 0 || bytes[4] != 0x21 || bytes[5] != 0x12 || bytes[6] != 0xa4 || bytes[7] != 0x42) return 0;
  return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

}  // namespace

PacketCapture::PacketCapture(const std::string& ns, const std::string& device)
    : socket(openInNamespace(ns, openPacketSocket, &device)), reader([this] { capture(); }) {}

PacketCapture::~PacketCapture() {
  stopping = true;
  reader.join();
}

void PacketCapture::capture() {
  std::vector<char> buffer(65536);
  while (!stopping) {
    pollfd descriptor{socket.fd(), POLLIN, 0};
    if (poll(&descriptor, 1, 100) <= 0) continue;
    sockaddr_ll from{};
    socklen_t fromLength = sizeof from;
    const ssize_t count =
        recvfrom(socket.fd(), buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (count < static_cast<ssize_t>(sizeof(iphdr)) || from.sll_protocol != htons(ETH_P_IP)) continue;
    iphdr ip;
    std::memcpy(&ip, buffer.data(), sizeof ip);
    const std::size_t headerLength = ip.ihl * 4u;
    if (ip.protocol != IPPROTO_UDP || static_cast<std::size_t>(count) < headerLength + sizeof(udphdr)) continue;
    udphdr udp;
    std::memcpy(&udp, buffer.data() + headerLength, sizeof udp);
    const char* payload = buffer.data() + headerLength + sizeof udp;
    const std::size_t payloadLength = static_cast<std::size_t>(count) - headerLength - sizeof udp;
    CapturedDatagram datagram{addressText(in_addr{ip.saddr}), ntohs(udp.source), addressText(in_addr{ip.daddr}),
                              ntohs(udp.dest), payloadLength, "", stunTypeOf(payload, payloadLength),
                              std::chrono::steady_clock::now()};
    if (looksLikeSip(payload, payloadLength)) datagram.text.assign(payload, payloadLength);
    std::lock_guard lock(mutex);
    seen.push_back(std::move(datagram));
  }
}

std::vector<CapturedDatagram> PacketCapture::datagrams() const {
  std::lock_guard lock(mutex);
  return seen;
}

std::vector<CapturedDatagram> PacketCapture::sipStartingWith(const std::string& start) const {
  std::vector<CapturedDatagram> found;
  for (const CapturedDatagram& datagram : datagrams())
    if (!datagram.text.empty() && datagram.text.rfind(start, 0) == 0) found.push_back(datagram);
  return found;
}

std::string sdpConnectionAddress(const std::string& sip) {
  std::smatch match;
  if (std::regex_search(sip, match, std::regex("\\r?\\nc=IN IP4 ([0-9.]+)"))) return match[1];
  return "";
}

std::uint16_t sdpAudioPort(const std::string& sip) {
  std::smatch match;
  if (std::regex_search(sip, match, std::regex("\\r?\\nm=audio (\\d+) ")))
    return static_cast<std::uint16_t>(std::stoi(match[1]));
  return 0;
}

std::vector<std::string> sdpCandidates(const std::string& sip) {
  std::vector<std::string> candidates;
  std::istringstream lines(sip);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("a=candidate:", 0) == 0) candidates.push_back(line.substr(2));
  }
  return candidates;
}

}  // namespace qav::testing
