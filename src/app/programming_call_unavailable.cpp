#include <stdexcept>

#include "app/programming_call.h"

namespace qav {

// Built while the telephony stack is not part of this build: a real run must
// fail plainly instead of pretending to program the QAV.
void runProgrammingCall(const Settings&, Reporter&) {
  throw std::runtime_error(
      "Anrufe sind in diesem Build nicht verfügbar (ohne Telefonie gebaut); nur --dry-run ist möglich.");
}

}  // namespace qav
