// Torture messages sent straight to qav-cli's SIP port while it is
// registered and while its call is up: none may crash or stall it, none may
// get a response to a response, and a plain OPTIONS is still answered.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <map>
#include <regex>
#include <thread>

#include "callee_call.h"
#include "programming_call.h"
#include "run_checks.h"
#include "torture_messages.h"

namespace qav::hostile {
namespace {

using namespace std::chrono_literals;

class UdpSender {
 public:
  UdpSender() {
    fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    own = ntohs(address.sin_port);
    timeval wait{0, 20000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  }
  ~UdpSender() { close(fd); }
  UdpSender(const UdpSender&) = delete;
  UdpSender& operator=(const UdpSender&) = delete;

  int port() const { return own; }
  void send(int target, const std::string& text) const {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(target));
    sendto(fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
  // Whatever arrived, until the socket has been quiet for 20 ms.
  std::vector<std::string> received() const {
    std::vector<std::string> datagrams;
    char buffer[65536];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) >= 0;)
      datagrams.emplace_back(buffer, static_cast<std::size_t>(n));
    return datagrams;
  }

 private:
  int fd = -1;
  int own = 0;
};

struct Barrage {
  int rounds = 0;
  int probesAnswered = 0;
  std::vector<std::string> responses;
};

// Every 250 ms, once qav-cli is registered: all torture messages, then one
// liveness probe.
void bombard(const testing::TestPbx& pbx, const std::atomic<bool>& finished, Barrage& barrage) {
  UdpSender sender;
  int target = 0;
  while (!finished && target == 0) {
    target = registeredPort(pbx, "tester");
    if (target == 0) std::this_thread::sleep_for(50ms);
  }
  const std::regex probeAnswer("^SIP/2\\.0 200 [^\\r]*\\r\\n(?:[^\\r]*\\r\\n)*CSeq: \\d+ OPTIONS\\r\\n");
  while (!finished) {
    ++barrage.rounds;
    for (const TortureMessage& message : tortureMessages(target, sender.port(), barrage.rounds))
      sender.send(target, message.text);
    sender.send(target, livenessProbe(target, sender.port(), barrage.rounds));
    for (const std::string& datagram : sender.received()) {
      barrage.responses.push_back(datagram);
      if (datagram.find("Call-ID: probe") != std::string::npos && datagram.rfind("SIP/2.0 200 ", 0) == 0)
        ++barrage.probesAnswered;
    }
    std::this_thread::sleep_for(250ms);
  }
}

// One barrage for the whole suite: four seconds of ringing and call.
class TortureMessages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    pbx = new testing::TestPbx();
    std::atomic<bool> finished{false};
    barrage = new Barrage();
    std::thread sender([&] { bombard(*pbx, finished, *barrage); });
    call = new CalleeCall(callThroughPbx(*pbx, "callee_holds_the_call.xml", 60s));
    finished = true;
    sender.join();
  }
  static void TearDownTestSuite() {
    delete call;
    delete barrage;
    delete pbx;
  }

  static testing::TestPbx* pbx;
  static Barrage* barrage;
  static CalleeCall* call;
};

testing::TestPbx* TortureMessages::pbx = nullptr;
Barrage* TortureMessages::barrage = nullptr;
CalleeCall* TortureMessages::call = nullptr;

TEST_F(TortureMessages, NeitherCrashNorStallQavCliRegisteredOrInACall) {
  expectFailureLine(call->run, "Anruf wurde vor dem QAV-Startsignal beendet.", 15s);
  EXPECT_TRUE(hasEvent(call->run, "success", "call"));
  EXPECT_EQ(call->calleeStatus, 0) << call->calleeMessages;
  EXPECT_FALSE(call->registrationLeft) << pbx->locations();

  // Up to four rounds a second while qav-cli was registered; fewer when
  // the machine is busy.
  EXPECT_GE(barrage->rounds, 4);
  // The last probe or two may have gone out as qav-cli was ending.
  EXPECT_GE(barrage->probesAnswered, barrage->rounds - 2);
  std::map<std::string, int> statusLines;
  for (const std::string& response : barrage->responses) {
    EXPECT_EQ(response.find(std::string("CSeq: ") + strayCSeq), std::string::npos)
        << "a response was answered:\n" << response;
    ++statusLines[response.substr(0, response.find('\r'))];
  }
  for (const auto& [line, count] : statusLines) std::cout << count << " x " << line << "\n";
}

// libre reports every datagram it cannot decode on standard error ("sip:
// msg decode err: ..."), where only the program's error line belongs.
TEST_F(TortureMessages, UndecodableDatagramsLeaveStandardErrorToTheErrorLine) {
  EXPECT_EQ(call->run.err, "Fehler: Anruf wurde vor dem QAV-Startsignal beendet.\n");
}

// The barrage during a real programming call: qav-sim as the device behind
// the test PBX. The call must still program the clock and end normally.
TEST(TortureDuringProgramming, TheProgrammingCallCompletesUnderTheBarrage) {
  const testing::TestPbx pbx;
  const testing::TemporaryDirectory directory;
  testing::Process simulator(
      testing::simulatorCommand("127.0.0.1:" + std::to_string(pbx.udpPort()), directory.path("state.json")));
  ASSERT_TRUE(simulator.waitFor("registered", 5s));
  std::atomic<bool> finished{false};
  Barrage barrage;
  std::thread sender([&] { bombard(pbx, finished, barrage); });
  std::vector<std::string> args = accountArguments(pbx.udpPort(), "qav");
  args.insert(args.end(), {"--actions", "clock", "--dtmf-tone-ms", "80", "--dtmf-gap-ms", "80", "--settle-ms", "100"});
  const ProcessRun run = runCli({args, {}, 120s, "", {}});
  finished = true;
  sender.join();

  EXPECT_FALSE(run.signal.has_value());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("Fehler: "), std::string::npos) << run.err;
  const std::vector<Event> events = eventsOf(run);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().event, "complete");
  EXPECT_TRUE(hasEvent(run, "success", "clock"));
  EXPECT_GE(barrage.rounds, 4);
  EXPECT_GE(barrage.probesAnswered, barrage.rounds - 2);
  EXPECT_EQ(simulator.finish(15s), 0);
  EXPECT_FALSE(pbx.hasLocation("tester")) << pbx.locations();
}

}  // namespace
}  // namespace qav::hostile
