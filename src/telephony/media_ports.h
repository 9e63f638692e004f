// The media ports an SDP body names, checked before libre reads them: libre
// keeps a port in 16 bits and wraps a larger one, aiming audio at a stranger.
#pragma once

#include <string_view>

struct mbuf;

namespace qav {

// False if an m= line's port is not a decimal number from 0 to 65535.
bool mediaPortsInRange(std::string_view sdp);

// The same for the unread part of a received body; the buffer is not moved.
bool mediaPortsInRange(const struct mbuf* sdp);

}  // namespace qav
