#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "process.h"

#ifndef QAV_SIM
#error "QAV_SIM must name the simulator program"
#endif

// The simulator's refusals as a script or a technician meets them: the exit
// status, and one "qav-sim: Fehler: " line on standard error even when the
// input holds control bytes.

namespace qav::sim {
namespace {

using namespace std::chrono_literals;

qav::testing::ProcessRun simulator(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), QAV_SIM);
  return qav::testing::runToEnd({arguments}, 10s);
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

TEST(SimCommandLine, RefusalsAreOneErrorLineWithTheirStatus) {
  // A usage error: the line, then the usage, status 2.
  const qav::testing::ProcessRun usage = simulator({"--listen", "127.0.0.1:0", "--ring-ms", "5\n\x1b[31m"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.out, "");
  EXPECT_EQ(firstLine(usage.err), "qav-sim: Fehler: Ungültiger Wert für --ring-ms: 5\\n[31m");
  EXPECT_EQ(usage.err.find("\x1b"), std::string::npos);
  EXPECT_EQ(usage.err.substr(usage.err.find('\n') + 1, 16), "Aufruf: qav-sim ");

  // A run error: the line alone, status 1.
  const qav::testing::ProcessRun run = simulator({"--listen", "127.0.0.1:0", "--state", "/"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(firstLine(run.err), run.err.substr(0, run.err.size() - 1)) << "one line alone";
  EXPECT_EQ(run.err.rfind("qav-sim: Fehler: QAV-Zustandsdatei /: ", 0), 0u) << run.err;
}

}  // namespace
}  // namespace qav::sim
