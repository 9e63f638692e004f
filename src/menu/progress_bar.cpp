#include "menu/progress_bar.h"

#include <algorithm>

namespace qav::menu {

std::string progressBar(std::size_t finished, std::size_t total, std::size_t width) {
  const std::size_t done = std::min(finished, total);
  const std::size_t filled = total == 0 ? 0 : done * width / total;
  return "[" + std::string(filled, '#') + std::string(width - filled, '.') + "] " +
         std::to_string(done) + "/" + std::to_string(total) + " Schritte";
}

}  // namespace qav::menu
