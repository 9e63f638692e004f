// The end of the call, by the QAV, the network or the far end: final, never
// repeated. Internal to the dialogue; its own sources and tests include it.
#pragma once

#include <stdexcept>

namespace qav {

class ConnectionEnded : public std::runtime_error {
 public:
  explicit ConnectionEnded(const char* message) : std::runtime_error(message) {}
};

}  // namespace qav
