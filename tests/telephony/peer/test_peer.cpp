#include "test_peer.h"

#include <re.h>

#include <optional>
#include <stdexcept>

#include "inband_dtmf_listener.h"
#include "telephony/audio_stream.h"
#include "telephony/sip_account.h"
#include "telephony/sip_session.h"
#include "telephony/sip_stack.h"
#include "telephony/telephone_events.h"

namespace qav::testing {
namespace {

constexpr char localIp[] = "127.0.0.1";
constexpr std::uint32_t registrationExpirySec = 60;
constexpr std::uint8_t eventEndFlag = 0x80;

std::string text(const struct pl& value) { return std::string(value.p ? value.p : "", value.l); }

std::string bodyOf(const struct sip_msg* msg) {
  return std::string(reinterpret_cast<const char*>(mbuf_buf(msg->mb)), mbuf_get_left(msg->mb));
}

std::size_t occurrences(const std::string& body, const std::string& line) {
  std::size_t count = 0;
  for (auto at = body.find("\n" + line); at != std::string::npos; at = body.find("\n" + line, at + 1)) ++count;
  return count;
}

// "offer ADDRESS:PORT contact=URI ice-ufrag=N ice-pwd=N candidates=N": what
// the caller's INVITE says about where it can be reached.
std::string describeOffer(const struct sip_msg* msg, const std::string& body, const std::string& remote) {
  const struct sip_hdr* contact = sip_msg_hdr(msg, SIP_HDR_CONTACT);
  return "offer " + remote + " contact=" + (contact ? text(contact->val) : "") +
         " ice-ufrag=" + std::to_string(occurrences(body, "a=ice-ufrag:")) +
         " ice-pwd=" + std::to_string(occurrences(body, "a=ice-pwd:")) +
         " candidates=" + std::to_string(occurrences(body, "a=candidate:"));
}

SipSettings accountSettings(const TestPeerOptions& options) {
  SipSettings settings;
  settings.server = options.registrarHost;
  settings.port = options.registrarPort;
  settings.user = options.user;
  settings.password = options.password;
  return settings;
}

}  // namespace

struct TestPeer::State {
  State(const TestPeerOptions& o, Reporter r)
      : options(o), report(std::move(r)), inband([this](char digit, std::uint32_t ms) {
          report("inband " + std::string(1, digit) + " " + std::to_string(ms));
        }) {}
  ~State() {
    call = static_cast<struct sipsess*>(mem_deref(call));
    stream.reset();
    account.reset();
    stack.reset();
  }

  void open();
  void acceptCall(const struct sip_msg* msg);
  void endCall();
  void receiveEvent(std::uint32_t timestamp, const std::uint8_t* payload, std::size_t size);
  void receiveInfo(const struct sip_msg* msg);

  static int reoffered(struct mbuf** answer, const struct sip_msg* msg, void* arg);
  static int answered(const struct sip_msg*, void*) { return 0; }
  static void established(const struct sip_msg*, void* arg);
  static void infoReceived(struct sip* sip, const struct sip_msg* msg, void* arg);
  static void closed(int, const struct sip_msg*, void* arg);

  TestPeerOptions options;
  Reporter report;
  InbandDtmfListener inband;
  std::unique_ptr<SipStack> stack;
  std::unique_ptr<SipAccount> account;
  std::unique_ptr<AudioStream> stream;
  struct sipsess* call = nullptr;
  // The end packet is repeated; the event counts once.
  std::optional<std::uint32_t> endedEvent;
};

void TestPeer::State::open() {
  SipStackOptions stackOptions;
  stackOptions.localIp = localIp;
  stackOptions.userAgent = "qav-test-peer";
  stackOptions.onCall = [this](const struct sip_msg* msg) { acceptCall(msg); };
  stack = std::make_unique<SipStack>(std::move(stackOptions));
  account = std::make_unique<SipAccount>(
      *stack, accountSettings(options), std::vector<std::string>{},
      [this](int status, bool registered) {
        if (registered) {
          report("registered");
        } else if (status >= 300) {
          report("registration-failed " + std::to_string(status));
        }
      },
      registrationExpirySec);
}

void TestPeer::State::acceptCall(const struct sip_msg* msg) {
  if (call) {
    (void)sip_treply(nullptr, stack->sip(), msg, 486, "Busy Here");
    return;
  }
  stream.reset();
  endedEvent.reset();
  AudioStreamOptions media;
  media.localIp = localIp;
  media.role = IceRole::Controlled;
  media.rtpPortMin = 33000;
  media.rtpPortMax = 49000;
  media.onAudio = [this](std::uint32_t, const std::int16_t* samples, std::size_t count) {
    inband.process(samples, count);
  };
  media.onEvent = [this](std::uint32_t timestamp, const std::uint8_t* payload, std::size_t size) {
    receiveEvent(timestamp, payload, size);
  };
  stream = std::make_unique<AudioStream>(std::move(media));
  struct mbuf* answer = nullptr;
  int err = stream->takeOffer(msg->mb);
  if (!err) {
    report(describeOffer(msg, bodyOf(msg), stream->describedRemote()));
    err = stream->answer(&answer);
  }
  if (err) {
    mem_deref(answer);
    (void)sip_treply(nullptr, stack->sip(), msg, 488, "Not Acceptable Here");
    return;
  }
  err = acceptSession(&call, *stack, msg, 200, "OK", options.user, answer, nullptr,
                      {reoffered, answered, nullptr, established, infoReceived, closed, this});
  mem_deref(answer);
  if (err) (void)sip_treply(nullptr, stack->sip(), msg, 500, "Server Error");
}

int TestPeer::State::reoffered(struct mbuf** answer, const struct sip_msg* msg, void* arg) {
  return static_cast<State*>(arg)->stream->answerOffer(msg->mb, answer);
}

void TestPeer::State::established(const struct sip_msg*, void* arg) { static_cast<State*>(arg)->report("call"); }

void TestPeer::State::infoReceived(struct sip* sip, const struct sip_msg* msg, void* arg) {
  static_cast<State*>(arg)->receiveInfo(msg);
  (void)sip_reply(sip, msg, 200, "OK");
}

void TestPeer::State::closed(int, const struct sip_msg*, void* arg) { static_cast<State*>(arg)->endCall(); }

void TestPeer::State::endCall() {
  report("bye");
  call = static_cast<struct sipsess*>(mem_deref(call));
}

// "rfc4733 <digit> <ms>": the duration field of the event's first end packet.
void TestPeer::State::receiveEvent(std::uint32_t timestamp, const std::uint8_t* payload, std::size_t size) {
  if (size < 4 || !(payload[1] & eventEndFlag) || endedEvent == timestamp) return;
  endedEvent = timestamp;
  const unsigned duration = (static_cast<unsigned>(payload[2]) << 8) | payload[3];
  report("rfc4733 " + std::string(1, telephoneEventDigit(payload[0])) + " " + std::to_string(duration / 8));
}

void TestPeer::State::receiveInfo(const struct sip_msg* msg) {
  const std::string body = bodyOf(msg);
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
