// Short texts for libre's failures: an errno value as text, and the status
// that a failure without a SIP response stands for.
#pragma once

#include <stdexcept>
#include <string>

namespace qav {

// libre reports errors as errno values.
std::string libreErrorText(int err);

// A failure inside libre, with libre's text; each session operation puts
// the name of its stage in front.
class LibreFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws LibreFailure for a libre error code other than 0.
void checkLibre(int err);

// A request that ended without any SIP response counts as 408 when it timed
// out and as 503 for any other transport failure, as SIP stacks report it.
int statusForTransportError(int err);

}  // namespace qav
