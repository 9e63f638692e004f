// qav-tones analyze: the command line of the analysis and its run, from the
// WAV file to the listing on standard output.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qav {

constexpr int kAnalyzeBadCommandLine = 2;
constexpr int kAnalyzeFailed = 3;

extern const char* const kAnalyzeUsage;

// args are those after "analyze". Returns the exit status; errors go to err
// as "qav-tones: Fehler: ..." lines.
int runAnalyze(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qav
