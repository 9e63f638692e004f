// One word for a shell command line: quoted so that the shell takes it as it
// is, spaces and quotes included.
#pragma once

#include <string>

namespace qav::testing {

std::string shellWord(const std::string& word);

}  // namespace qav::testing
