#include "telephony/media_ports.h"

#include <re.h>

namespace qav {
namespace {

// "m=audio 49170/2 RTP/AVP 0": the port follows the media name and may carry
// a count of ports after a slash.
bool portInRange(std::string_view line) {
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos) return false;
  std::size_t at = space + 1;
  unsigned long port = 0;
  const std::size_t first = at;
  while (at < line.size() && line[at] >= '0' && line[at] <= '9') {
    port = port * 10 + static_cast<unsigned long>(line[at] - '0');
    if (port > 65535) return false;
    ++at;
  }
  if (at == first) return false;
  return at == line.size() || line[at] == ' ' || line[at] == '/' || line[at] == '\r';
}

}  // namespace

bool mediaPortsInRange(std::string_view sdp) {
  while (!sdp.empty()) {
    const std::size_t end = sdp.find('\n');
    const std::string_view line = sdp.substr(0, end);
    if (line.starts_with("m=") && !portInRange(line)) return false;
    if (end == std::string_view::npos) break;
    sdp.remove_prefix(end + 1);
  }
  return true;
}

bool mediaPortsInRange(const struct mbuf* sdp) {
  return mediaPortsInRange(std::string_view(reinterpret_cast<const char*>(mbuf_buf(sdp)), mbuf_get_left(sdp)));
}

}  // namespace qav
