// The audio formats both ends of a call offer and answer with: PCMU, PCMA
// and telephone-event for the 16 DTMF keys, in packets of one frame time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio/g711.h"

struct sdp_media;

namespace qav {

constexpr char telephoneEventPayloadType[] = "101";

// A G.711 law as negotiated for the call, with its RTP payload type.
struct AudioCodec {
  G711Law law = G711Law::MuLaw;
  int payloadType = 0;
};

// By the SDP encoding name, case-insensitively ("PCMU", "PCMA").
std::optional<G711Law> g711LawNamed(const std::string& encodingName);

// libre error code on failure.
int addAudioFormats(struct sdp_media* media, std::uint32_t packetMs);

}  // namespace qav
