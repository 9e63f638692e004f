// spandsp's supervisory tone receiver set up for the QAV's five answers: the
// library reference that the tone-line benchmark holds our analyzer against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

#include "tone/signal.h"

struct super_tone_rx_descriptor_s;
struct super_tone_rx_state_s;

namespace qav::bench {

struct Element;

// One thread feeds a receiver and receives its callbacks; the receiver owns
// its spandsp descriptors and states and cannot be copied.
class SpandspReceiver {
 public:
  explicit SpandspReceiver(std::function<void(Signal)> callback);
  ~SpandspReceiver();
  SpandspReceiver(const SpandspReceiver&) = delete;
  SpandspReceiver& operator=(const SpandspReceiver&) = delete;

  // Line audio at 8 kHz, any block length.
  void process(const std::int16_t* samples, std::size_t count);

 private:
  // spandsp compares one or two tones per element, so the trio chord gets a
  // second receiver that monitors only two of its three tones.
  struct Part {
    SpandspReceiver* owner = nullptr;
    super_tone_rx_descriptor_s* descriptor = nullptr;
    super_tone_rx_state_s* state = nullptr;
    std::vector<Signal> signalOfTone;
  };
  static void addTone(Part& part, Signal signal, std::initializer_list<Element> elements);
  static void start(Part& part);
  static void report(void* part, int code, int level, int delay);

  std::function<void(Signal)> callback_;
  Part main_;
  Part chord_;
};

// What spandsp heard in one recording, oldest first.
std::vector<Signal> spandspDetector(const std::vector<std::int16_t>& pcm);

}  // namespace qav::bench
