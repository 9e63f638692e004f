// The progress bar line of a programming call: finished plan segments out
// of the plan's total, in plain ASCII so that serial consoles show it too.
#pragma once

#include <cstddef>
#include <string>

namespace qav::menu {

// "[#####...............] 5/20 Schritte"; width is the number of cells.
// A total of 0 gives an empty bar; finished beyond the total is capped.
std::string progressBar(std::size_t finished, std::size_t total, std::size_t width = 30);

}  // namespace qav::menu
