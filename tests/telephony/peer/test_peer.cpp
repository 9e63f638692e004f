#include "test_peer.h"

#include <re.h>
#include <rem.h>

#include <stdexcept>
#include <vector>

#include "inband_dtmf_listener.h"
#include "telephony/libre_compat.h"

namespace qav::testing {
namespace {

void check(int err, const char* what) {
  if (err) throw std::runtime_error(std::string(what) + " failed: " + std::to_string(err));
}

std::string text(const struct pl& value) { return std::string(value.p ? value.p : "", value.l); }

std::size_t occurrences(const std::string& body, const std::string& line) {
  std::size_t count = 0;
  for (auto at = body.find("\n" + line); at != std::string::npos; at = body.find("\n" + line, at + 1)) ++count;
  return count;
}

// "offer ADDRESS:PORT contact=URI ice-ufrag=N ice-pwd=N candidates=N": what
// the caller's INVITE says about where it can be reached.
std::string describeOffer(const struct sip_msg* msg, const std::string& body, const struct sdp_media* media) {
  char address[64] = {};
  const struct sa* remote = sdp_media_raddr(media);
  (void)sa_ntop(remote, address, sizeof address);
  const struct sip_hdr* contact = sip_msg_hdr(msg, SIP_HDR_CONTACT);
  return "offer " + std::string(address) + ":" + std::to_string(sa_port(remote)) +
         " contact=" + (contact ? text(contact->val) : "") +
         " ice-ufrag=" + std::to_string(occurrences(body, "a=ice-ufrag:")) +
         " ice-pwd=" + std::to_string(occurrences(body, "a=ice-pwd:")) +
         " candidates=" + std::to_string(occurrences(body, "a=candidate:"));
}

}  // namespace

struct TestPeer::State {
  State(const TestPeerOptions& o, Reporter r)
      : options(o), report(std::move(r)), inband([this](char digit, std::uint32_t ms) {
          report("inband " + std::string(1, digit) + " " + std::to_string(ms));
        }) {}
  ~State();

  void open();
  void acceptCall(const struct sip_msg* msg);
  void endCall();
  void receiveRtp(const struct rtp_header* header, struct mbuf* mb);
  void receiveInfo(const struct sip_msg* msg);
  void negotiate();

  TestPeerOptions options;
  Reporter report;
  InbandDtmfListener inband;
  struct dnsc* dns = nullptr;
  struct sip* sip = nullptr;
  struct sipsess_sock* sock = nullptr;
  struct sipreg* registration = nullptr;
  struct sipsess* call = nullptr;
  struct rtp_sock* rtp = nullptr;
  struct sdp_session* sdp = nullptr;
  struct sdp_media* media = nullptr;
  struct telev* events = nullptr;
  int audioPt = -1;
  bool muLaw = true;
  int eventPt = -1;
};

namespace {

int credentials(char** user, char** password, const char*, void* arg) {
  auto* state = static_cast<TestPeer::State*>(arg);
  int err = str_dup(user, state->options.user.c_str());
  err |= str_dup(password, state->options.password.c_str());
  return err;
}

void registrationAnswered(int err, const struct sip_msg* msg, void* arg) {
  auto* state = static_cast<TestPeer::State*>(arg);
  if (!err && msg && msg->scode >= 200 && msg->scode < 300) {
    state->report("registered");
  } else if (err || (msg && msg->scode >= 300)) {
    state->report("registration-failed " + std::to_string(err ? 0 : msg->scode));
  }
}

void incomingCall(const struct sip_msg* msg, void* arg) { static_cast<TestPeer::State*>(arg)->acceptCall(msg); }

void rtpReceived(const struct sa*, const struct rtp_header* header, struct mbuf* mb, void* arg) {
  static_cast<TestPeer::State*>(arg)->receiveRtp(header, mb);
}

int reoffered(struct mbuf** answer, const struct sip_msg* msg, void* arg) {
  auto* state = static_cast<TestPeer::State*>(arg);
  const int err = sdp_decode(state->sdp, msg->mb, true);
  if (err) return err;
  state->negotiate();
  return sdp_encode(answer, state->sdp, false);
}

int answered(const struct sip_msg*, void*) { return 0; }

void established(const struct sip_msg*, void* arg) { static_cast<TestPeer::State*>(arg)->report("call"); }

void infoReceived(struct sip* sip, const struct sip_msg* msg, void* arg) {
  static_cast<TestPeer::State*>(arg)->receiveInfo(msg);
  (void)sip_reply(sip, msg, 200, "OK");
}

void closed(int, const struct sip_msg*, void* arg) { static_cast<TestPeer::State*>(arg)->endCall(); }

}  // namespace

TestPeer::State::~State() {
  call = static_cast<struct sipsess*>(mem_deref(call));
  registration = static_cast<struct sipreg*>(mem_deref(registration));
  sock = static_cast<struct sipsess_sock*>(mem_deref(sock));
  if (sip) sip_close(sip, true);
  mem_deref(sip);
  mem_deref(rtp);
  mem_deref(sdp);
  mem_deref(events);
  mem_deref(dns);
}

void TestPeer::State::open() {
  struct sa local {};
  sa_set_str(&local, "127.0.0.1", 0);
  check(dnsc_alloc(&dns, nullptr, nullptr, 0), "dnsc_alloc");
  check(sip_alloc(&sip, dns, 32, 32, 32, "qav-test-peer", nullptr, nullptr), "sip_alloc");
  check(sip_transp_add(sip, SIP_TRANSP_UDP, &local), "sip_transp_add");
  check(sipsess_listen(&sock, sip, 32, incomingCall, this), "sipsess_listen");
  check(rtp_listen(&rtp, IPPROTO_UDP, &local, 33000, 49000, false, rtpReceived, nullptr, this), "rtp_listen");
  check(sdp_session_alloc(&sdp, &local), "sdp_session_alloc");
  check(sdp_media_add(&media, sdp, sdp_media_audio, sa_port(rtp_local(rtp)), sdp_proto_rtpavp), "sdp_media_add");
  check(sdp_format_add(nullptr, media, false, "0", "PCMU", 8000, 1, nullptr, nullptr, nullptr, false, nullptr), "PCMU");
  check(sdp_format_add(nullptr, media, false, "8", "PCMA", 8000, 1, nullptr, nullptr, nullptr, false, nullptr), "PCMA");
  check(sdp_format_add(nullptr, media, false, "101", telev_rtpfmt, 8000, 1, nullptr, nullptr, nullptr, false, "0-15"),
        "telephone-event");
  check(telev_alloc(&events, 20), "telev_alloc");
  const std::string registrar = "sip:" + options.registrarHost + ":" + std::to_string(options.registrarPort);
  const std::string aor = "sip:" + options.user + "@" + options.registrarHost;
  check(sipregRegister(&registration, sip, registrar.c_str(), aor.c_str(), nullptr, aor.c_str(), 60,
                        options.user.c_str(), nullptr, 0, 0, credentials, this, false, registrationAnswered, this),
        "sipreg_register");
}

void TestPeer::State::negotiate() {
  audioPt = -1;
  eventPt = -1;
  for (struct le* le = list_head(sdp_media_format_lst(media, false)); le; le = le->next) {
    const auto* format = static_cast<const struct sdp_format*>(le->data);
    if (!format->sup || !format->name) continue;
    const std::string name = format->name;
    if (audioPt < 0 && (name == "PCMU" || name == "PCMA")) {
      audioPt = format->pt;
      muLaw = name == "PCMU";
    }
    if (name == telev_rtpfmt) eventPt = format->pt;
  }
}

void TestPeer::State::acceptCall(const struct sip_msg* msg) {
  if (call) {
    (void)sip_treply(nullptr, sip, msg, 486, "Busy Here");
    return;
  }
  struct mbuf* answer = nullptr;
  const std::string body(reinterpret_cast<const char*>(mbuf_buf(msg->mb)), mbuf_get_left(msg->mb));
  int err = sdp_decode(sdp, msg->mb, true);
  if (!err) {
    report(describeOffer(msg, body, media));
    negotiate();
    err = sdp_encode(&answer, sdp, false);
  }
  if (err) {
    (void)sip_treply(nullptr, sip, msg, 488, "Not Acceptable Here");
    return;
  }
  err = sipsessAccept(&call, sock, msg, 200, "OK", options.user.c_str(), "application/sdp", answer, credentials,
                       this, false, reoffered, answered, established, infoReceived, nullptr, closed, this, nullptr);
  mem_deref(answer);
  if (err) (void)sip_treply(nullptr, sip, msg, 500, "Server Error");
}

void TestPeer::State::endCall() {
  report("bye");
  call = static_cast<struct sipsess*>(mem_deref(call));
}

void TestPeer::State::receiveRtp(const struct rtp_header* header, struct mbuf* mb) {
  if (header->pt == eventPt && eventPt >= 0) {
    if (mbuf_get_left(mb) < 4) return;
    const std::uint8_t* payload = mbuf_buf(mb);
    const unsigned duration = (static_cast<unsigned>(payload[2]) << 8) | payload[3];
    int event = 0;
    bool end = false;
    if (telev_recv(events, mb, &event, &end) == 0 && end) {
      report("rfc4733 " + std::string(1, static_cast<char>(telev_code2digit(event))) + " " +
             std::to_string(duration / 8));
    }
  } else if (header->pt == audioPt && audioPt >= 0) {
    std::vector<std::int16_t> samples(mbuf_get_left(mb));
    const std::uint8_t* bytes = mbuf_buf(mb);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      samples[i] = muLaw ? g711_ulaw2pcm(bytes[i]) : g711_alaw2pcm(bytes[i]);
    }
    inband.process(samples.data(), samples.size());
  }
}

void TestPeer::State::receiveInfo(const struct sip_msg* msg) {
  const std::string body(reinterpret_cast<const char*>(mbuf_buf(msg->mb)), mbuf_get_left(msg->mb));
  struct pl all {};
  pl_set_str(&all, body.c_str());
  struct pl signal {}, duration {};
  if (re_regex(all.p, all.l, "Signal=[^\r\n]+", &signal) == 0 &&
      re_regex(all.p, all.l, "Duration=[0-9]+", &duration) == 0) {
    report("info " + text(signal) + " " + text(duration));
  } else {
    report("info-unparsed " + body);
  }
}

TestPeer::TestPeer(const TestPeerOptions& options, Reporter reporter)
    : state(std::make_unique<State>(options, std::move(reporter))) {
  state->open();
}

TestPeer::~TestPeer() = default;

}  // namespace qav::testing
