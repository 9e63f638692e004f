#include "telephony/audio_formats.h"

#include <re.h>
#include <strings.h>

namespace qav {

std::optional<G711Law> g711LawNamed(const std::string& encodingName) {
  if (strcasecmp(encodingName.c_str(), "PCMU") == 0) return G711Law::MuLaw;
  if (strcasecmp(encodingName.c_str(), "PCMA") == 0) return G711Law::ALaw;
  return std::nullopt;
}

int addAudioFormats(struct sdp_media* media, std::uint32_t packetMs) {
  int err = sdp_format_add(nullptr, media, false, "0", "PCMU", 8000, 1, nullptr, nullptr, nullptr, false, nullptr);
  if (!err) err = sdp_format_add(nullptr, media, false, "8", "PCMA", 8000, 1, nullptr, nullptr, nullptr, false, nullptr);
  if (!err) {
    err = sdp_format_add(nullptr, media, false, telephoneEventPayloadType, telev_rtpfmt, 8000, 1, nullptr, nullptr,
                         nullptr, false, "0-15");
  }
  if (!err) err = sdp_media_set_lattr(media, true, sdp_attr_ptime, "%u", packetMs);
  return err;
}

}  // namespace qav
