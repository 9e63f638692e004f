// Child processes whose standard output and error come through pipes, read
// side by side until every pipe has closed or a deadline has passed.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "process_run.h"

namespace qav::e2e {

struct PipedChild {
  pid_t pid = -1;
  int out = -1;
  int err = -1;
  std::string partial;  // output after its last newline

  bool outputOpen() const { return out >= 0 || err >= 0; }
};

// argv[0] is a path. Both pipes are close-on-exec, so no later child holds
// this one's output open; a test that crashes takes the child with it.
PipedChild startPiped(const std::vector<std::string>& argv);

// Reads into runs[i] what children[i] writes; a run's `ended` is set when its
// output ends. Children with a pipe still open at the deadline have hung.
void readOutputs(std::vector<PipedChild>& children, std::vector<ProcessRun>& runs, Clock::time_point deadline);

// Closes the pipes still open; a last line without newline is still output
// the caller must see.
void closeOutput(PipedChild& child, ProcessRun& run);

}  // namespace qav::e2e
