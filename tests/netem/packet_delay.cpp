// Delays the IP packets routed into a TUN device and sends them on as they
// were, each after its own random delay, so that they arrive with jitter and,
// when one is held back longer than the next, out of order.
//
//   qav-packet-delay TUN MARK DELAY_MS JITTER_MS REORDER_PERCENT HOLD_MS
//
// Every packet waits DELAY_MS plus a uniform random share of -JITTER_MS to
// +JITTER_MS (never less than zero); REORDER_PERCENT of them wait HOLD_MS
// more. Packets leave through a raw socket with the firewall mark MARK, which
// the rules that steer packets into the TUN device must leave alone. Ends on
// SIGTERM or SIGINT.
#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

volatile sig_atomic_t stopping = 0;

struct Shaping {
  milliseconds delay{0};
  milliseconds jitter{0};
  double reorderShare = 0;
  milliseconds hold{0};
};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "qav-packet-delay: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

int openTun(const std::string& name) {
  const int fd = open("/dev/net/tun", O_RDWR | O_CLOEXEC);
  if (fd < 0) fail("/dev/net/tun");
  ifreq request{};
  request.ifr_flags = IFF_TUN | IFF_NO_PI;
  std::snprintf(request.ifr_name, IFNAMSIZ, "%s", name.c_str());
  if (ioctl(fd, TUNSETIFF, &request) < 0) fail("TUNSETIFF " + name);
  return fd;
}

int openRawSender(unsigned mark) {
  const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
  if (fd < 0) fail("raw socket");
  if (setsockopt(fd, SOL_SOCKET, SO_MARK, &mark, sizeof mark) < 0) fail("SO_MARK");
  return fd;
}

void send(int raw, const std::vector<unsigned char>& packet) {
  if (packet.size() < sizeof(iphdr)) return;
  iphdr header;
  std::memcpy(&header, packet.data(), sizeof header);
  if (header.version != 4) return;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = header.daddr;
  // A lost packet is what this tool simulates anyway; errors are not fatal.
  sendto(raw, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

Clock::duration delayFor(const Shaping& shaping, std::mt19937& random) {
  std::uniform_int_distribution<long> spread(-shaping.jitter.count() * 1000, shaping.jitter.count() * 1000);
  std::uniform_real_distribution<double> chance(0, 100);
  microseconds wait = shaping.delay + microseconds(spread(random));
  if (chance(random) < shaping.reorderShare) wait += shaping.hold;
  return std::max(wait, microseconds(0));
}

void run(int tun, int raw, const Shaping& shaping) {
  std::mt19937 random(std::random_device{}());
  // Due time to packet; equal due times keep their arrival order.
  std::multimap<Clock::time_point, std::vector<unsigned char>> waiting;
  std::vector<unsigned char> buffer(65536);
  while (!stopping) {
    int timeout = 100;
    if (!waiting.empty()) {
      const auto left = std::chrono::duration_cast<milliseconds>(waiting.begin()->first - Clock::now());
      timeout = static_cast<int>(std::clamp<long>(left.count(), 0, 100));
    }
    pollfd ready{tun, POLLIN, 0};
    if (poll(&ready, 1, timeout) > 0 && (ready.revents & POLLIN)) {
      const ssize_t size = read(tun, buffer.data(), buffer.size());
      if (size > 0)
        waiting.emplace(Clock::now() + delayFor(shaping, random),
                        std::vector<unsigned char>(buffer.begin(), buffer.begin() + size));
    }
    const auto now = Clock::now();
    while (!waiting.empty() && waiting.begin()->first <= now) {
      send(raw, waiting.begin()->second);
      waiting.erase(waiting.begin());
    }
  }
}

long argument(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || value < 0) {
    std::fprintf(stderr, "qav-packet-delay: not a count: %s\n", text);
    std::exit(2);
  }
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: qav-packet-delay TUN MARK DELAY_MS JITTER_MS REORDER_PERCENT HOLD_MS\n");
    return 2;
  }
  struct sigaction stop {};
  stop.sa_handler = [](int) { stopping = 1; };
  sigaction(SIGTERM, &stop, nullptr);
  sigaction(SIGINT, &stop, nullptr);
  const Shaping shaping{milliseconds(argument(argv[3])), milliseconds(argument(argv[4])),
                        static_cast<double>(argument(argv[5])), milliseconds(argument(argv[6]))};
  const int tun = openTun(argv[1]);
  const int raw = openRawSender(static_cast<unsigned>(argument(argv[2])));
  // The caller waits for this line before it routes packets here.
  std::printf("ready\n");
  std::fflush(stdout);
  run(tun, raw, shaping);
  return 0;
}
