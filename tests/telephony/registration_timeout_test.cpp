#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "session_settings.h"
#include "telephony/telephony_session.h"

namespace qav {
namespace {

using namespace std::chrono;

// A UDP port that is bound but never answers, so that no ICMP error ends the
// wait early.
class SilentUdpPort {
 public:
  SilentUdpPort() : fd(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    number = ntohs(address.sin_port);
  }
  ~SilentUdpPort() { close(fd); }
  std::uint16_t port() const { return number; }

 private:
  int fd;
  std::uint16_t number = 0;
};

TEST(RegistrationTimeoutTest, NoRegistrarMeansTimeoutAfterTwentySeconds) {
  SilentUdpPort silent;
  auto session = createTelephonySession();
  const auto start = steady_clock::now();
  EXPECT_EQ(testing::failureOf([&] { session->registerAccount(testing::pbxAccount(silent.port())); }),
            "Zeitüberschreitung bei der SIP-Registrierung.");
  const auto waited = steady_clock::now() - start;
  EXPECT_GE(waited, milliseconds(19900));
  EXPECT_LT(waited, seconds(23));
  // The REGISTER is still unanswered; shutdown gives it half a second only.
  const auto shutdownStart = steady_clock::now();
  session->shutdown();
  EXPECT_LT(steady_clock::now() - shutdownStart, milliseconds(1500));
}

}  // namespace
}  // namespace qav
