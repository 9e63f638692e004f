// Several programs started together and run to their ends side by side, each
// with its standard output as stamped lines and its standard error apart.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "process_run.h"

namespace qav::load {

// All processes are forked before any output is read, so they start within
// moments of each other. The limit bounds hung processes, which are then
// killed and have no status.
std::vector<qav::e2e::ProcessRun> runTogether(const std::vector<std::vector<std::string>>& argvs,
                                              std::chrono::milliseconds limit);

}  // namespace qav::load
