// Short texts for libre's failures: an errno value as text, and the status
// that a failure without a SIP response stands for.
#pragma once

#include <string>

namespace qav {

// libre reports errors as errno values.
std::string libreErrorText(int err);

// A request that ended without any SIP response counts as 408 when it timed
// out and as 503 for any other transport failure, as SIP stacks report it.
int statusForTransportError(int err);

}  // namespace qav
