// Text that a hostile far end chooses, here the reason phrase of its refusal
// of INFO, reaches qav-cli's retry events and its error line; control bytes
// in it must not reach the technician's terminal.
#include <gtest/gtest.h>

#include <cmath>

#include "callee_call.h"
#include "run_checks.h"

namespace qav::hostile {
namespace {

using namespace std::chrono_literals;

std::uint8_t muLaw(std::int16_t linear) {
  constexpr int bias = 0x84;
  int sample = linear;
  const int sign = sample < 0 ? 0x80 : 0;
  if (sample < 0) sample = -sample;
  sample = std::min(sample, 32635) + bias;
  int exponent = 7;
  for (int mask = 0x4000; (sample & mask) == 0 && exponent > 0; mask >>= 1) --exponent;
  const int mantissa = (sample >> (exponent + 3)) & 0x0f;
  return static_cast<std::uint8_t>(~(sign | (exponent << 4) | mantissa));
}

// Half a second of silence, then the device's single confirmation tone.
std::string startTone() {
  std::string audio;
  for (std::size_t n = 0; n < 4000 + 960; ++n) {
    const double tone = n < 4000 ? 0.0 : std::sin(6.283185307179586 * 2109.0 * double(n - 4000) / 8000.0) * 16000;
    audio += static_cast<char>(muLaw(static_cast<std::int16_t>(tone)));
  }
  return audio;
}

bool holdsControlBytes(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\n') || byte == 0x7f) return true;
  }
  return false;
}

// The reason phrase must not go unfiltered into "DTMF konnte nicht gesendet
// werden: SIP 403 ..." and from there to the console's retry lines and the
// error line, ESC sequences and all.
TEST(PeerText, ControlBytesOfAReasonPhraseNeverReachTheConsole) {
  const testing::TestPbx pbx;
  ScriptedPeer callee("callee_refuses_info_with_control_bytes.xml", 1,
                      {"-key", "reason", "Forbidden \x1b]0;owned\x07\x1b[2J\x1b[31mred"},
                      {{"audio.ulaw", startTone()}});
  std::vector<std::string> args = accountArguments(pbx.udpPort(), callee.uri("callee"));
  args.pop_back();  // the console, not --json
  args.insert(args.end(), {"--dtmf-method", "sip-info", "--pin", "1234", "--actions", "clock"});
  const ProcessRun run = runCli({args, {}, 120s, "", {}});
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_NE(run.err.find("DTMF konnte nicht gesendet werden: SIP 403 Forbidden"), std::string::npos) << run.err;
  EXPECT_FALSE(holdsControlBytes(run.out)) << run.out;
  EXPECT_FALSE(holdsControlBytes(run.err)) << run.err;
  EXPECT_EQ(callee.wait(10s), 0) << callee.messages();
  EXPECT_FALSE(pbx.hasLocation("tester"));
}

}  // namespace
}  // namespace qav::hostile
