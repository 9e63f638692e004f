// A program run to its end as a child process, with standard output as lines
// stamped at the moment they arrived and standard error kept apart.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "process_run.h"

namespace qav::e2e {

// The limit bounds a hung process; it is not a timing requirement.
ProcessRun runToEnd(const std::vector<std::string>& argv, std::chrono::milliseconds limit);

}  // namespace qav::e2e
