// The audio formats both ends of a call offer and answer with: PCMU, PCMA
// and telephone-event for the 16 DTMF keys, in packets of one frame time.
#pragma once

#include <cstdint>

struct sdp_media;

namespace qav {

constexpr char telephoneEventPayloadType[] = "101";

// libre error code on failure.
int addAudioFormats(struct sdp_media* media, std::uint32_t packetMs);

}  // namespace qav
