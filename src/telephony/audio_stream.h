// The call's one audio stream: the RTP socket, the SDP offer of PCMU, PCMA
// and telephone-event with its public address, the negotiated result, and
// packets in and out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "telephony/media_traversal.h"
#include "telephony/telephone_events.h"

struct mbuf;

namespace qav {

class JitterBuffer;

// Every member runs on libre's worker thread or under a LibreLock. Received
// audio of the negotiated law goes, decoded, into the jitter buffer.
class AudioStream {
 public:
  // Throws std::runtime_error with libre's error text.
  AudioStream(const std::string& localIp, JitterBuffer& received, const TraversalSettings& traversal = {});
  ~AudioStream();
  AudioStream(const AudioStream&) = delete;
  AudioStream& operator=(const AudioStream&) = delete;

  // Learns the public address for the offer; see MediaTraversal::gather.
  bool prepareOffer(std::function<void()> onReady);
  // A fresh buffer holding the SDP offer; libre error code on failure.
  int offer(struct mbuf** description);
  // The far end's answer. False when it leaves no G.711 law, no port or no
  // address to send to: the call cannot carry audio.
  bool acceptAnswer(struct mbuf* description);
  // An offer of the far end inside the call (re-INVITE), and our answer.
  int answerOffer(struct mbuf* offer, struct mbuf** answer);

  bool negotiated() const;
  bool eventsAccepted() const;

  // One packet time: the telephone event if one is playing, else the frame
  // in the negotiated law. The RTP timestamp advances by count either way.
  void sendTick(const std::int16_t* frame, std::size_t count, const std::optional<EventPacket>& event);

  // Opaque outside audio_stream.cpp; named here for libre's handlers there.
  struct State;

 private:
  std::unique_ptr<State> state;
};

}  // namespace qav
