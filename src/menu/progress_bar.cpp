#include "menu/progress_bar.h"

#include <algorithm>

namespace qav::menu {

std::string progressBar(std::size_t finished, std::size_t total, std::size_t width) {
  const std::size_t done = std::min(finished, total);
  const std::size_t filled = total == 0 ? 0 : done * width / total;
  // Appended piece by piece: g++ 12 at -O3 takes "literal" + std::string for
  // an overlapping copy (GCC bug 105651) and warns.
  std::string bar = "[";
  bar.append(filled, '#').append(width - filled, '.').append("] ");
  bar.append(std::to_string(done)).append("/").append(std::to_string(total)).append(" Schritte");
  return bar;
}

}  // namespace qav::menu
