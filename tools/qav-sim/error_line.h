// The simulator's lines on standard error, in German like the programs it
// answers: "qav-sim: Fehler: …" and "qav-sim: Warnung: …", one line each.
#pragma once

#include <string>

namespace qav::sim {

// From any thread: each line is written whole, its control bytes escaped,
// so that a value from the command line can neither split it nor reach the
// terminal as an escape sequence.
void printError(const std::string& text);
void printWarning(const std::string& text);

}  // namespace qav::sim
