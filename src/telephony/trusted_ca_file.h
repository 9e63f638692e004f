// The CA file of sip-tls-verify, checked before the session sends anything,
// so that a wrong path ends the run at once rather than as a failed handshake.
#pragma once

#include <string>

namespace qav {

// Throws std::runtime_error naming the file when it does not exist, cannot
// be read, or holds no PEM certificate. Any thread.
void checkTrustedCaFile(const std::string& path);

}  // namespace qav
