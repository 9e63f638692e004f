// Recognises DTMF tone pairs in received call audio and measures how long
// each one sounded: librem's detector names the digit, an energy gate times it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

struct dtmf_dec;

namespace qav::testing {

class InbandDtmfListener {
 public:
  // Called with the digit and the tone's length in milliseconds once the
  // tone has ended.
  using Handler = std::function<void(char digit, std::uint32_t durationMs)>;

  explicit InbandDtmfListener(Handler handler);
  ~InbandDtmfListener();
  InbandDtmfListener(const InbandDtmfListener&) = delete;
  InbandDtmfListener& operator=(const InbandDtmfListener&) = delete;

  // 8 kHz mono samples in arrival order.
  void process(const std::int16_t* samples, std::size_t count);

 private:
  static void detected(char digit, void* arg);
  void processChunk(const std::int16_t* samples);
  void endTone();

  Handler handler;
  struct dtmf_dec* decoder = nullptr;
  char digit = 0;
  std::uint32_t toneSamples = 0;
};

}  // namespace qav::testing
