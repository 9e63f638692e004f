// NAT traversal for one audio stream on its own RTP socket: the public
// mapping from a STUN server, or an ICE agent with its connectivity checks.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "telephony/stun_server.h"

struct rtp_sock;
struct sdp_session;
struct sdp_media;
struct sa;

namespace qav {

struct TraversalSettings {
  std::optional<StunServer> stunServer;  // numeric address
  bool ice = false;
};

// The caller offers and controls the checks; the answering side is controlled.
enum class IceRole { Controlling, Controlled };

// How long a STUN server may take to answer before the stream goes on
// without its mapping, as if no server were configured.
constexpr std::chrono::milliseconds stunAnswerWait{3000};

// Every member runs on libre's worker thread or under a LibreLock; so do the
// handlers. The socket and the SDP objects must outlive the traversal.
class MediaTraversal {
 public:
  // Called with the far end's address once the checks have chosen a pair.
  using PathChosen = std::function<void(const struct sa& remote)>;

  // Throws std::runtime_error with libre's error text.
  MediaTraversal(struct rtp_sock* rtp, struct sdp_session* sdp, struct sdp_media* media,
                 const TraversalSettings& settings, IceRole role, PathChosen onPath);
  ~MediaTraversal();
  MediaTraversal(const MediaTraversal&) = delete;
  MediaTraversal& operator=(const MediaTraversal&) = delete;

  // Puts the public address (and with ICE the candidates) into the local
  // SDP. True when that waits for the STUN server: onReady follows on the
  // worker, with or without the mapping. False when the SDP is complete now.
  bool gather(std::function<void()> onReady);
  // The far end's description has been decoded into the SDP session: read
  // its ICE attributes once and start the checks if it does ICE. A far end
  // without ICE is sent to at its SDP address, and the agent is dropped.
  void remoteDescribed();
  // Whether the far end takes part in ICE (known after remoteDescribed).
  bool farEndIce() const;

  struct State;

 private:
  std::unique_ptr<State> state;
};

}  // namespace qav
