#include <functional>
#include <thread>

#include "bad_network_call.h"

// The PBX restarted or gone while qav-cli works: the call's media runs
// directly between qav-cli and the device, so only signalling is hurt.

namespace qav::netem {
namespace {

using namespace std::chrono_literals;

class PbxOutageTest : public BadNetworkCallTest {
 protected:
  // Runs the job while `outage` strikes the PBX once `moment` has returned
  // true; by default once the device has stored the first of the two values,
  // in the middle of the dialogue.
  template <typename Outage>
  CliOutcome callWithOutage(Outage outage, Clock::time_point& struck, std::function<bool()> moment = {},
                            const std::vector<std::string>& simulatorOptions = {}) {
    if (!moment) moment = [this] { return simulator->waitFor("state-saved", 90s).has_value(); };
    seedEarlierValues();
    startSimulator(simulatorOptions);
    bool reached = false;
    std::thread strike([&] {
      reached = moment();
      struck = Clock::now();
      if (reached) outage();
    });
    const CliOutcome outcome = call(jobArguments());
    strike.join();
    EXPECT_TRUE(reached) << "the moment for the outage never came";
    return outcome;
  }

  // qav-cli has registered; its INVITE follows at once.
  bool cliRegistered() {
    for (int i = 0; i < 600; ++i) {
      if (pbx->hasLocation("tester")) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }
};

// Digits the device heard after the first stored value.
std::size_t digitsAfterFirstStore(const std::vector<std::string>& lines) {
  std::size_t digits = 0;
  bool stored = false;
  for (const std::string& line : lines) {
    if (line == "state-saved") stored = true;
    if (stored && line.rfind("digit ", 0) == 0) ++digits;
  }
  return digits;
}

TEST_F(PbxOutageTest, PbxRestartedDuringTheCallLeavesTheMediaRunning) {
  Clock::time_point restarted;
  const CliOutcome outcome = callWithOutage([this] { pbx->restart(); }, restarted);
  describe("PBX restarted in the call", outcome);
  expectSpecifiedEnding(outcome);
  expectRequestedOrEarlierValues(outcome);
  EXPECT_NE(outcome.process.err, "Fehler: SIP-Verbindung wurde beendet.\n");
  // Media never passed the PBX: the Z208 command and the closing 0 still
  // reach the device after the restart.
  EXPECT_EQ(simulator->finish(20s), 0) << "qav-sim did not end after its call";
  EXPECT_GE(digitsAfterFirstStore(simulator->lines()), 3u);
  EXPECT_FALSE(pbx->hasLocation("tester")) << "qav-cli left its registration behind";
}

TEST_F(PbxOutageTest, PbxKilledDuringTheCallEndsTheRunInTime) {
  Clock::time_point killed;
  const CliOutcome outcome = callWithOutage([this] { pbx->kill(); }, killed);
  describe("PBX killed in the call", outcome);
  expectSpecifiedEnding(outcome);
  expectRequestedOrEarlierValues(outcome);
  // What can remain after the kill: the second action (three attempts of
  // two segments, 10 s each at most), the 8 s wait for the device to hang
  // up and 2.5 s of shutdown, with slack for a loaded machine.
  EXPECT_LT(outcome.process.ended - killed, 120s);
}

// The device's answer and qav-cli's acknowledgement both pass the PBX, so
// the call is never set up; qav-cli gives up at its own limit for that.
TEST_F(PbxOutageTest, PbxKilledWhileTheDeviceRingsEndsTheCallSetupInTime) {
  Clock::time_point killed;
  // The device rings for 5 s; a second after the registration the INVITE has
  // long reached it.
  const CliOutcome outcome = callWithOutage(
      [this] {
        std::this_thread::sleep_for(1s);
        pbx->kill();
      },
      killed, [this] { return cliRegistered(); }, {"--ring-ms", "5000"});
  describe("PBX killed while the device rings", outcome);
  expectSpecifiedEnding(outcome);
  EXPECT_EQ(outcome.process.status, 3);
  const bool setupFailure = outcome.process.err == "Fehler: Zeitüberschreitung beim Anrufaufbau.\n" ||
                            outcome.process.err.rfind("Fehler: Anruf fehlgeschlagen (SIP ", 0) == 0;
  EXPECT_TRUE(setupFailure) << outcome.process.err;
  expectRequestedOrEarlierValues(outcome);
  EXPECT_EQ(readState().value("z208", ""), "00000017") << "nothing can have reached the device";
  // The 60 s call setup limit, plus slack for shutdown on a loaded machine.
  EXPECT_LT(outcome.process.ended - killed, 80s);
}

TEST_F(PbxOutageTest, PbxGoneBeforeTheRegistrationEndsWithTheRegistrationTimeLimit) {
  pbx->kill();
  const CliOutcome outcome = call(jobArguments(), 120s);
  describe("PBX gone before the registration", outcome);
  expectSpecifiedEnding(outcome);
  EXPECT_EQ(outcome.process.status, 3);
  EXPECT_EQ(outcome.process.err, "Fehler: Zeitüberschreitung bei der SIP-Registrierung.\n");
  // The registration's 20 s limit, plus slack for start-up and shutdown.
  EXPECT_GE(outcome.duration(), 19s);
  EXPECT_LT(outcome.duration(), 45s);
}

}  // namespace
}  // namespace qav::netem
