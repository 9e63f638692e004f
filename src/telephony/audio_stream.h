// A call's one audio stream: the RTP socket, the SDP offer or answer of
// PCMU, PCMA and telephone-event with its public address, the negotiated
// result, and packets in and out.
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

struct AudioStreamOptions {
  // Received audio of any negotiated law, decoded, with its RTP timestamp.
  using AudioHandler = std::function<void(std::uint32_t timestamp, const std::int16_t* samples, std::size_t count)>;
  // A received telephone-event packet: its RTP timestamp and payload.
  using EventHandler = std::function<void(std::uint32_t timestamp, const std::uint8_t* payload, std::size_t size)>;
  // The far end's "address:port" once the connectivity checks chose it.
  using PathHandler = std::function<void(const std::string& remote)>;

  std::string localIp;
  TraversalSettings traversal;
  // The caller offers and controls the checks; the answering side is controlled.
  IceRole role = IceRole::Controlling;
  std::uint16_t rtpPortMin = 16384;
  std::uint16_t rtpPortMax = 32767;
  AudioHandler onAudio;
  EventHandler onEvent;
  PathHandler onPath;
};

// Every member runs on libre's worker thread or under a LibreLock; so do
// the handlers, called from libre's receive path.
class AudioStream {
 public:
  // Throws LibreFailure with libre's error text.
  explicit AudioStream(AudioStreamOptions options);
  ~AudioStream();
  AudioStream(const AudioStream&) = delete;
  AudioStream& operator=(const AudioStream&) = delete;

  // Learns the public address for our offer or answer (and the candidates
  // for an answer to an ICE offer); see MediaTraversal::gather.
  bool prepare(std::function<void()> onReady);
  // A fresh buffer holding our SDP offer; libre error code on failure.
  int offer(struct mbuf** description);
  // The far end's answer. False when it leaves no G.711 law, no port or no
  // address to send to: the call cannot carry audio.
  bool acceptAnswer(struct mbuf* description);
  // The offer of an INVITE; EPROTO when it leaves nothing to send with.
  // Then answer writes our answer to it, once prepared.
  int takeOffer(struct mbuf* offer);
  int answer(struct mbuf** description);
  // An offer inside the call (re-INVITE) and our answer; an offer without
  // a common law is answered too, with the stream rejected.
  int answerOffer(struct mbuf* offer, struct mbuf** answer);

  bool negotiated() const;
  bool eventsAccepted() const;
  // "address:port" the far end's description names for the audio.
  std::string describedRemote() const;

  // One packet time: the telephone event if one is playing, else the frame
  // in the law we send with (the far end's first). The RTP timestamp
  // advances by count either way.
  void sendTick(const std::int16_t* frame, std::size_t count, const std::optional<EventPacket>& event = {});

  // Opaque outside audio_stream.cpp; named here for libre's handlers there.
  struct State;

 private:
  std::unique_ptr<State> state;
};

}  // namespace qav
