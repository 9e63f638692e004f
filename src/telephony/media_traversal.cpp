#include "telephony/media_traversal.h"

#include <re.h>

#include "telephony/libre_compat.h"
#include "telephony/libre_error.h"

namespace qav {
namespace {

constexpr std::uint32_t natKeepaliveSec = 15;
constexpr std::uint16_t hostPreference = 65535;
constexpr char hostInterface[] = "rtp";

}  // namespace

struct MediaTraversal::State {
  State(struct rtp_sock* socket, struct sdp_session* session, struct sdp_media* audio,
        const TraversalSettings& config, IceRole iceRole, PathChosen chosen)
      : rtp(socket), sdp(session), media(audio), settings(config), role(iceRole), onPath(std::move(chosen)) {
    tmr_init(&timer);
  }
  // The request belongs to the agent's STUN instance: it goes first.
  ~State() {
    tmr_cancel(&timer);
    mem_deref(request);
    mem_deref(keepalive);
    mem_deref(icem);
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  void startAgent();
  bool askServer();
  void mapped(const struct sa& address);
  void iceMapped(int err, std::uint16_t status, const struct stun_msg* msg);
  void finish();
  void publishDefault(const struct sa& address);
  void publishCandidates();
  void startChecks();
  void dropAgent();
  void checked(int err);

  struct rtp_sock* rtp;
  struct sdp_session* sdp;
  struct sdp_media* media;
  TraversalSettings settings;
  IceRole role;
  PathChosen onPath;
  std::function<void()> onReady;
  struct sa server {};
  struct tmr timer {};
  struct stun_keepalive* keepalive = nullptr;
  struct icem* icem = nullptr;
  struct stun_ctrans* request = nullptr;
  char ufrag[9] = {};
  char pwd[33] = {};
  bool gathered = false;
  bool mappingKnown = false;
  bool described = false;
  bool iceAgreed = false;
  bool checking = false;
};

namespace {

const struct sa* mappedAttribute(const struct stun_msg* msg) {
  struct stun_attr* attr = stun_msg_attr(msg, STUN_ATTR_XOR_MAPPED_ADDR);
  if (!attr) attr = stun_msg_attr(msg, STUN_ATTR_MAPPED_ADDR);
  return attr ? &attr->v.sa : nullptr;
}

bool decodeSessionAttribute(const char* name, const char* value, void* arg) {
  (void)ice_sdp_decode(static_cast<struct icem*>(arg), name, value);
  return false;
}

bool decodeMediaAttribute(const char* name, const char* value, void* arg) {
  (void)icem_sdp_decode(static_cast<struct icem*>(arg), name, value);
  return false;
}

bool encodeCandidate(struct le* le, void* arg) {
  return sdp_media_set_lattr(static_cast<struct sdp_media*>(arg), false, ice_attr_cand, "%H", ice_cand_encode,
                             le->data) != 0;
}

}  // namespace

void MediaTraversal::State::startAgent() {
  rand_str(ufrag, sizeof ufrag);
  rand_str(pwd, sizeof pwd);
  const enum ice_role iceRole = role == IceRole::Controlling ? ICE_ROLE_CONTROLLING : ICE_ROLE_CONTROLLED;
  checkLibre(icemAlloc(
      &icem, iceRole, IPPROTO_UDP, 0, rand_u64(), ufrag, pwd,
      [](int err, bool, void* arg) { static_cast<State*>(arg)->checked(err); }, this));
  icem_set_name(icem, "audio");
  // One component: RTP only, no RTCP socket is opened.
  checkLibre(icem_comp_add(icem, ICE_COMPID_RTP, rtp_sock(rtp)));
  checkLibre(icemAddHostCandidate(icem, ICE_COMPID_RTP, hostPreference, hostInterface, rtp_local(rtp)));
}

bool MediaTraversal::State::askServer() {
  int err = 0;
  if (icem) {
    err = stun_request(
        &request, icem_stun(icem), IPPROTO_UDP, rtp_sock(rtp), &server, 0, STUN_METHOD_BINDING, nullptr, 0, false,
        [](int e, std::uint16_t status, const char*, const struct stun_msg* msg, void* arg) {
          static_cast<State*>(arg)->iceMapped(e, status, msg);
        },
        this, 1, STUN_ATTR_SOFTWARE, stun_software);
  } else {
    // The keepalive also refreshes the NAT's binding for the whole call.
    err = stun_keepalive_alloc(
        &keepalive, IPPROTO_UDP, rtp_sock(rtp), 0, &server, nullptr,
        [](int e, const struct sa* address, void* arg) {
          // A failed refresh is retried by the keepalive; the wait ends by time.
          if (!e && address) static_cast<State*>(arg)->mapped(*address);
        },
        this);
    if (!err) stun_keepalive_enable(keepalive, natKeepaliveSec);
  }
  return err == 0;
}

void MediaTraversal::State::mapped(const struct sa& address) {
  // Later refreshes only keep the binding; the SDP is out already.
  if (gathered) return;
  mappingKnown = true;
  publishDefault(address);
  finish();
}

void MediaTraversal::State::iceMapped(int err, std::uint16_t status, const struct stun_msg* msg) {
  request = nullptr;
  if (gathered) return;
  const struct sa* address = !err && !status && msg ? mappedAttribute(msg) : nullptr;
  struct ice_cand* host = icem_cand_find(icem_lcandl(icem), ICE_COMPID_RTP, nullptr);
  if (address && host && icem_lcand_add(icem, icem_lcand_base(host), ICE_CAND_TYPE_SRFLX, address) == 0) {
    mappingKnown = true;
  }
  finish();
}

void MediaTraversal::State::finish() {
  if (gathered) return;
  gathered = true;
  tmr_cancel(&timer);
  // No answer: nothing of the server is kept, no more requests go to it.
  if (!mappingKnown) keepalive = static_cast<struct stun_keepalive*>(mem_deref(keepalive));
  request = static_cast<struct stun_ctrans*>(mem_deref(request));
  if (icem) publishCandidates();
  if (described) startChecks();
  if (onReady) {
    const auto ready = std::move(onReady);
    onReady = nullptr;
    ready();
  }
}

void MediaTraversal::State::publishDefault(const struct sa& address) {
  sdp_session_set_laddr(sdp, &address);
  sdp_media_set_lport(media, sa_port(&address));
}

void MediaTraversal::State::publishCandidates() {
  icem_cand_redund_elim(icem);
  if (icem_comps_set_default_cand(icem) == 0) {
    if (const struct sa* preferred = icem_cand_default(icem, ICE_COMPID_RTP)) publishDefault(*preferred);
  }
  // An answer carries ICE only to a far end that offered it.
  if (role == IceRole::Controlled && !iceAgreed) return;
  (void)sdp_session_set_lattr(sdp, true, ice_attr_ufrag, "%s", ufrag);
  (void)sdp_session_set_lattr(sdp, true, ice_attr_pwd, "%s", pwd);
  sdp_media_del_lattr(media, ice_attr_cand);
  (void)list_apply(icem_lcandl(icem), true, encodeCandidate, media);
}

void MediaTraversal::State::startChecks() {
  if (!icem || checking) return;
  if (!iceAgreed) {
    dropAgent();
    return;
  }
  checking = true;
  if (icem_conncheck_start(icem) != 0) {
    // The SDP address stays the path, as without ICE.
    dropAgent();
    return;
  }
  ice_candpair_set_states(icem);
}

void MediaTraversal::State::dropAgent() {
  // Without the agent no helper filters the socket: plain RTP from any
  // address reaches the stream, as without ICE.
  request = static_cast<struct stun_ctrans*>(mem_deref(request));
  icem = static_cast<struct icem*>(mem_deref(icem));
}

void MediaTraversal::State::checked(int err) {
  // A failed check leaves the SDP address as the path.
  if (err || !icem) return;
  const struct ice_cand* remote = icem_selected_rcand(icem, ICE_COMPID_RTP);
  if (remote && onPath) onPath(*icem_lcand_addr(remote));
}

MediaTraversal::MediaTraversal(struct rtp_sock* rtp, struct sdp_session* sdp, struct sdp_media* media,
                               const TraversalSettings& settings, IceRole role, PathChosen onPath)
    : state(std::make_unique<State>(rtp, sdp, media, settings, role, std::move(onPath))) {
  if (settings.stunServer) {
    checkLibre(sa_set_str(&state->server, settings.stunServer->host.c_str(), settings.stunServer->port));
  }
  if (settings.ice) state->startAgent();
}

MediaTraversal::~MediaTraversal() = default;

bool MediaTraversal::gather(std::function<void()> onReady) {
  State& s = *state;
  if (s.gathered) return false;
  if (!s.settings.stunServer || !s.askServer()) {
    s.finish();
    return false;
  }
  s.onReady = std::move(onReady);
  tmr_start(&s.timer, static_cast<std::uint64_t>(stunAnswerWait.count()),
            [](void* arg) { static_cast<State*>(arg)->finish(); }, &s);
  return true;
}

void MediaTraversal::remoteDescribed() {
  State& s = *state;
  if (s.described || !s.icem) return;
  s.described = true;
  const bool offersIce = sdp_session_rattr(s.sdp, ice_attr_ufrag) || sdp_media_rattr(s.media, ice_attr_ufrag);
  if (offersIce) {
    (void)sdp_session_rattr_apply(s.sdp, nullptr, decodeSessionAttribute, s.icem);
    (void)sdp_media_rattr_apply(s.media, nullptr, decodeMediaAttribute, s.icem);
    // Its default address must be one of its candidates, else a middlebox
    // has rewritten the SDP and the checks would test the wrong paths.
    s.iceAgreed = icem_verify_support(s.icem, ICE_COMPID_RTP, sdp_media_raddr(s.media));
  }
  if (s.gathered) s.startChecks();
}

bool MediaTraversal::farEndIce() const { return state->iceAgreed; }

}  // namespace qav
