// The answering side's audio stream: the RTP socket, the SDP answer of PCMU,
// PCMA and telephone-event, received audio and key events, sent frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "telephony/media_traversal.h"

struct mbuf;

namespace qav {
class JitterBuffer;
}

namespace qav::sim {

// Every member runs on libre's worker thread or under a LibreLock; so do the
// handlers, called from libre's receive path.
class CallMedia {
 public:
  // A telephone-event packet: its RTP timestamp and payload.
  using EventHandler = std::function<void(std::uint32_t timestamp, const std::uint8_t* payload, std::size_t size)>;

  // The far end's address once ICE has chosen the path.
  using PathHandler = std::function<void(const std::string& remote)>;

  // Throws std::runtime_error with libre's error text.
  CallMedia(const std::string& localIp, JitterBuffer& received, EventHandler onEvent,
            const TraversalSettings& traversal = {}, PathHandler onPath = nullptr);
  ~CallMedia();
  CallMedia(const CallMedia&) = delete;
  CallMedia& operator=(const CallMedia&) = delete;

  // The caller's offer (INVITE or re-INVITE) and our answer; libre error
  // code on failure. Negotiated only when the offer leaves a G.711 law.
  int answerOffer(struct mbuf* offer, struct mbuf** answer);
  // The INVITE's offer in steps, for an answer that waits for the public
  // address: takeOffer, then prepare, then answer.
  int takeOffer(struct mbuf* offer);
  int answer(struct mbuf** description);
  // For an INVITE without an offer: ours, answered in the ACK.
  int offer(struct mbuf** description);
  // Learns the public address for our answer or offer (and the candidates
  // for an answer to an ICE offer); see MediaTraversal::gather.
  bool prepare(std::function<void()> onReady);
  bool acceptAnswer(struct mbuf* answer);
  bool negotiated() const;

  // One packet time of audio in the negotiated law.
  void send(const std::int16_t* frame, std::size_t count);

  struct State;

 private:
  std::unique_ptr<State> state;
};

}  // namespace qav::sim
