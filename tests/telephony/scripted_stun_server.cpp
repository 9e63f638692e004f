#include "scripted_stun_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <stdexcept>

namespace qav::testing {
namespace {

constexpr std::uint32_t magicCookie = 0x2112A442;
constexpr std::uint16_t bindingRequest = 0x0001;
constexpr std::uint16_t bindingSuccess = 0x0101;
constexpr std::uint16_t xorMappedAddress = 0x0020;
constexpr std::size_t headerSize = 20;

void put16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value);
}

std::uint16_t get16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] << 8 | at[1]); }

}  // namespace

ScriptedStunServer::ScriptedStunServer(const std::string& mappedAddress, bool quiet) : silent(quiet) {
  if (inet_pton(AF_INET, mappedAddress.c_str(), &mapped) != 1) throw std::runtime_error("not IPv4: " + mappedAddress);
  fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof local;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    if (fd >= 0) close(fd);
    throw std::runtime_error("cannot bind the STUN responder");
  }
  port = ntohs(local.sin_port);
  worker = std::thread([this] { serve(); });
}

ScriptedStunServer::~ScriptedStunServer() {
  stopping = true;
  worker.join();
  close(fd);
}

std::string ScriptedStunServer::address() const { return "127.0.0.1:" + std::to_string(port); }

std::set<std::uint16_t> ScriptedStunServer::askingPorts() const {
  std::lock_guard lock(mutex);
  return ports;
}

void ScriptedStunServer::serve() {
  while (!stopping) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, 50) <= 0) continue;
    std::array<std::uint8_t, 1500> packet{};
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t size = recvfrom(fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (size < static_cast<ssize_t>(headerSize) || get16(packet.data()) != bindingRequest) continue;
    {
      std::lock_guard lock(mutex);
      ports.insert(ntohs(from.sin_port));
    }
    if (silent) continue;
    // The request's header with the success type, then XOR-MAPPED-ADDRESS.
    std::array<std::uint8_t, headerSize + 12> answer{};
    std::memcpy(answer.data(), packet.data(), headerSize);
    put16(answer.data(), bindingSuccess);
    put16(answer.data() + 2, 12);
    std::uint8_t* attribute = answer.data() + headerSize;
    put16(attribute, xorMappedAddress);
    put16(attribute + 2, 8);
    attribute[5] = 0x01;  // IPv4
    put16(attribute + 6, static_cast<std::uint16_t>(ntohs(from.sin_port) ^ (magicCookie >> 16)));
    const std::uint32_t address = htonl(ntohl(mapped) ^ magicCookie);
    std::memcpy(attribute + 8, &address, 4);
    (void)sendto(fd, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), length);
  }
}

}  // namespace qav::testing
