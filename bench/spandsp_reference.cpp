#include "spandsp_reference.h"

#include <dlfcn.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

// spandsp's telephony.h defines lrint and lrintf as truncating macros for
// C++: <cmath> comes first, and the macros go again right after.
#include <spandsp/telephony.h>
#include <spandsp/super_tone_rx.h>
#undef lrint
#undef lrintf

#include "tonesynth/answer_patterns.h"

namespace qav::bench {

// One cadence element: up to two tones (0: none, so 0 and 0 is silence) held
// for minMs to maxMs (0: no upper limit). spandsp measures in 16 ms blocks.
struct Element {
  int f1;
  int f2;
  int minMs;
  int maxMs;
};

namespace {

int hz(double f) { return static_cast<int>(std::lround(f)); }

// The device varies bursts and pauses by up to 30 %, the codecs smear the
// edges, and noise bursts stretch a segment. On the tuning set these wide
// limits give spandsp 70.2 % right answers against 69.2 % with narrower ones
// (high 60 to 260 ms, gaps 80 to 340 ms), for 7 more wrong ones in 24300.
// What it still misses it misses for want of silence (line noise above its
// fixed -42 dBm0 floor, AMR comfort noise shaped like the tone).
constexpr int kHighMin = 40, kHighMax = 400;        // 150 ms nominal
constexpr int kMiddleMin = 60, kMiddleMax = 500;    // 200 ms nominal
constexpr int kTrioPartMin = 20, kTrioPartMax = 250;  // a third of 240 ms
constexpr int kChordMin = 80, kChordMax = 600;      // 240 ms nominal
constexpr int kGapMin = 50, kGapMax = 500;          // 200 ms nominal
// Our analyzer ends a group of bursts after 520 ms of silence; the reference
// waits as long before it names the answer, so that single, double and error
// can be told apart by the number of bursts.
constexpr int kGroupEndMs = 520;

const Element kGap{0, 0, kGapMin, kGapMax};
const Element kEnd{0, 0, kGroupEndMs, 0};

Element high() { return {hz(kHighToneHz), 0, kHighMin, kHighMax}; }
Element middle() { return {hz(kMiddleToneHz), 0, kMiddleMin, kMiddleMax}; }
Element trioPart(int i) { return {hz(kTrioToneHz[i]), 0, kTrioPartMin, kTrioPartMax}; }
// The chord as the dual tone of its outer two tones.
Element chord() { return {hz(kTrioToneHz[0]), hz(kTrioToneHz[2]), kChordMin, kChordMax}; }

// librem defines Goertzel functions of the same names; if the dynamic
// linker bound those, spandsp's receiver would loop for ever on its first
// block.
void requireSpandspGoertzel() {
  Dl_info info{};
  void* const bound = dlsym(RTLD_DEFAULT, "goertzel_init");
  if (bound && dladdr(bound, &info) != 0 && info.dli_fname &&
      std::strstr(info.dli_fname, "spandsp"))
    return;
  std::fprintf(stderr, "goertzel_init comes from %s, not from spandsp: link spandsp before librem\n",
               info.dli_fname ? info.dli_fname : "?");
  std::abort();
}

}  // namespace

SpandspReceiver::SpandspReceiver(std::function<void(Signal)> callback) : callback_(std::move(callback)) {
  static const bool checked = (requireSpandspGoertzel(), true);
  (void)checked;
  main_.owner = this;
  chord_.owner = this;
  main_.descriptor = super_tone_rx_make_descriptor(nullptr);
  chord_.descriptor = super_tone_rx_make_descriptor(nullptr);
  // spandsp names the first template that fits, so the longer high-tone
  // patterns go first: the last two bursts of an error also fit double.
  addTone(main_, Signal::ParameterError, {high(), kGap, high(), kGap, high(), kEnd});
  addTone(main_, Signal::DoubleConfirmation, {high(), kGap, high(), kEnd});
  addTone(main_, Signal::SingleConfirmation, {high(), kEnd});
  addTone(main_, Signal::AlternatingDisconnect, {middle(), kGap, middle(), kEnd});
  // spandsp's elements follow one another, so the trio one tone after the
  // other is its three tones in turn, twice.
  addTone(main_, Signal::MultiDevicePrompt,
          {trioPart(0), trioPart(1), trioPart(2), kGap, trioPart(0), trioPart(1), trioPart(2), kEnd});
  // An element holds at most two tones, and with all three trio tones
  // monitored the two strongest of the chord change from block to block
  // (through AMR or GSM one pair wins for good). A receiver of its own
  // that monitors only the outer two hears the chord as one dual tone.
  addTone(chord_, Signal::MultiDevicePrompt, {chord(), kGap, chord(), kEnd});
  start(main_);
  start(chord_);
}

SpandspReceiver::~SpandspReceiver() {
  for (Part* part : {&main_, &chord_}) {
    super_tone_rx_free(part->state);
    super_tone_rx_free_descriptor(part->descriptor);
  }
}

void SpandspReceiver::addTone(Part& part, Signal signal, std::initializer_list<Element> elements) {
  const int tone = super_tone_rx_add_tone(part.descriptor);
  for (const Element& e : elements) super_tone_rx_add_element(part.descriptor, tone, e.f1, e.f2, e.minMs, e.maxMs);
  part.signalOfTone.resize(static_cast<std::size_t>(tone) + 1);
  part.signalOfTone[static_cast<std::size_t>(tone)] = signal;
}

void SpandspReceiver::start(Part& part) { part.state = super_tone_rx_init(nullptr, part.descriptor, report, &part); }

void SpandspReceiver::process(const std::int16_t* samples, std::size_t count) {
  super_tone_rx(main_.state, samples, static_cast<int>(count));
  super_tone_rx(chord_.state, samples, static_cast<int>(count));
}

// spandsp reports a template's start with its number and its end with -1.
void SpandspReceiver::report(void* data, int code, int, int) {
  const Part& part = *static_cast<const Part*>(data);
  if (code >= 0) part.owner->callback_(part.signalOfTone[static_cast<std::size_t>(code)]);
}

std::vector<Signal> spandspDetector(const std::vector<std::int16_t>& pcm) {
  std::vector<Signal> heard;
  SpandspReceiver receiver([&](Signal s) { heard.push_back(s); });
  constexpr std::size_t kBlock = 160;
  for (std::size_t at = 0; at + kBlock <= pcm.size(); at += kBlock) receiver.process(&pcm[at], kBlock);
  return heard;
}

}  // namespace qav::bench
