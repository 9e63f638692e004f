#include "qav-sim/error_line.h"

#include <iostream>

#include "report/reporter.h"

namespace qav::sim {

namespace {

void printLine(const char* kind, const std::string& text) {
  std::cerr << ("qav-sim: " + std::string(kind) + ": " + escapeControlBytes(text) + "\n") << std::flush;
}

}  // namespace

void printError(const std::string& text) { printLine("Fehler", text); }

void printWarning(const std::string& text) { printLine("Warnung", text); }

}  // namespace qav::sim
