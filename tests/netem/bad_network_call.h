// Programming calls over a bad network: qav-cli in the lab's lan namespace,
// the test PBX and qav-sim in its wan namespace, and what a call left behind.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "outage_pbx.h"
#include "programming_call.h"
#include "test_lab.h"

namespace qav::netem {

using qav::testing::Clock;
using qav::testing::CliEvent;

struct CliOutcome : qav::testing::CliRun {
  std::chrono::milliseconds limit{0};

  // Killed after the limit, as opposed to having died by a signal.
  bool hung() const { return process.killedAfterLimit; }
  std::size_t retries() const;
  std::chrono::milliseconds duration() const;
};

// The values the call is asked to program, and what the device held before.
struct ProgrammedValue {
  const char* key;
  const char* earlier;
  const char* requested;
};

// A job of two parameters whose entries are long enough to be hurt by a
// lost digit: the dialling attempts (a variable-length entry) and the Z208 ID
// (eight digits).
extern const std::vector<ProgrammedValue> kJob;
extern const std::vector<std::string> kJobArguments;
// The DTMF pace of the loopback end-to-end tests.
using qav::testing::kFastDigits;

// Whether `message` is one with which the dialogue ends a failed run: its own
// final messages, the repetition summaries with the single failure they
// carry, and the registration, call and DTMF failures of the session.
bool isSpecifiedFailure(const std::string& message);

// qav-sim (startSimulator) and the PBX in the wan, qav-cli in the lan.
class BadNetworkCallTest : public qav::testing::NetworkLabTest, protected qav::testing::ProgrammingCallParties {
 protected:
  BadNetworkCallTest() : NetworkLabTest(qav::testing::LabShape::Direct) {}
  void SetUp() override;
  void TearDown() override;

  // Each replaces what was shaped before.
  // Drops `percent` of the RTP in both directions.
  void loseRtp(double percent);
  // Delays every packet between the namespaces in both directions.
  void delayAll(int delayMs, int jitterMs, int reorderPercent, int holdMs);
  // Packets dropped or delayed so far in both namespaces, so that a test can
  // tell that the bad network was really there.
  std::uint64_t shapedPackets();
  // tests/netem/shape with `arguments` for namespace `ns`.
  void shape(const std::string& ns, const std::vector<std::string>& arguments);

  // qav-cli's arguments for kJob at the fast pace, with `extra` before it.
  static std::vector<std::string> jobArguments(const std::vector<std::string>& extra = {});
  // One line on how the run ended, and the retries and stray tones in it.
  static void describe(const std::string& what, const CliOutcome& outcome);
  // One call of kJob while `percent` of the RTP is lost, checked as
  // expectSpecifiedEnding and expectRequestedOrEarlierValues say.
  void callUnderLoss(double percent, const std::vector<std::string>& dtmf);

  // The device before a call: kJob's earlier values.
  void seedEarlierValues();
  // qav-cli with the PBX account, the target "qav", --json and `extra`.
  CliOutcome call(const std::vector<std::string>& extra, std::chrono::milliseconds limit = std::chrono::seconds(300));

  // The outcome is success (status 0, nothing on standard error, the run's
  // completion event last) or a specified failure (status 3, one error line
  // with a specified message); never a signal and never a hang.
  void expectSpecifiedEnding(const CliOutcome& outcome) const;
  // Every value of kJob is the requested or the earlier one, and the
  // requested one after a successful run.
  void expectRequestedOrEarlierValues(const CliOutcome& outcome) const;

  std::unique_ptr<OutagePbx> pbx;
};

}  // namespace qav::netem
