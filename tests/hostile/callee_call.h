// One qav-cli run that registers at the test PBX and calls a sipp callee
// through it, with what the callee saw and whether the account is gone.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "run_checks.h"
#include "scripted_peer.h"
#include "test_pbx.h"

namespace qav::hostile {

struct CalleeCall {
  ProcessRun run;
  int calleeStatus = -1;  // 0: the callee's scenario ran to its end
  std::string calleeMessages;
  bool registrationLeft = false;
};

// whileRunning gets qav-cli's pid; limit bounds a hung run.
CalleeCall callThroughPbx(const testing::TestPbx& pbx, const std::string& scenario,
                          std::chrono::seconds limit, const std::function<void(pid_t)>& whileRunning = {},
                          const std::vector<std::string>& extra = {});

// qav-cli's own SIP port as the PBX's location table lists its contact.
int registeredPort(const testing::TestPbx& pbx, const std::string& user);

}  // namespace qav::hostile
