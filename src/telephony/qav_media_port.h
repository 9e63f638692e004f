// The session's media port: the media clock's 20 ms exchange of one frame
// each way between RTP, the tone analyzer and the in-band FIFO.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "telephony/audio_stream.h"
#include "telephony/call_audio_sink.h"
#include "telephony/jitter_buffer.h"
#include "telephony/libre_loop.h"
#include "telephony/media_clock.h"
#include "telephony/telephone_events.h"
#include "tone/tone_analyzer.h"

// Included only by libre_session.cpp: like LibreSession, this lives in that
// file's unnamed namespace.
namespace qav {
namespace {

constexpr std::size_t frameSamples = callFrameSamples;
constexpr std::chrono::milliseconds packetTime{20};
// Enough buffered audio to ride out a packet that is 80 ms late (a busy
// sender, network jitter): running dry inside a tone plays a silent frame,
// which ends a high-tone burst and turns a single confirmation into a double
// one. The 100 ms of delay is nothing against the answer time limits.
constexpr std::uint32_t jitterPrefetchSamples = 5 * frameSamples;
constexpr std::uint32_t jitterCapacitySamples = 10 * frameSamples;

// The session's audio endpoint. The media clock drives it every 20 ms: one
// received frame from the jitter buffer (silence when the far end sends
// nothing) goes to the analyzer, one frame from the in-band FIFO (silence
// when empty) or the current telephone event goes out by RTP. A recording
// sink, if any, gets both frames of each tick.
class QavMediaPort {
 public:
  QavMediaPort(ToneAnalyzer* toneAnalyzer, CallAudioSink* audioSink)
      : analyzer(toneAnalyzer),
        sink(audioSink),
        received(jitterPrefetchSamples, jitterCapacitySamples),
        clock(packetTime) {}
  ~QavMediaPort() { clock.stop(); }
  QavMediaPort(const QavMediaPort&) = delete;
  QavMediaPort& operator=(const QavMediaPort&) = delete;

  void onFrameRequested(std::int16_t* samples, std::size_t count) {
    std::fill(samples, samples + count, std::int16_t{0});
    bool empty = false;
    {
      std::lock_guard lock(fifoMutex);
      const std::size_t moved = std::min(count, sampleFifo.size());
      std::copy_n(sampleFifo.begin(), moved, samples);
      sampleFifo.erase(sampleFifo.begin(), sampleFifo.begin() + static_cast<std::ptrdiff_t>(moved));
      empty = sampleFifo.empty();
    }
    if (empty) fifoDrained.notify_all();
  }

  void onFrameReceived(const std::int16_t* samples, std::size_t count) { analyzer->process(samples, count); }

  void startClock() {
    clock.start([this] { tick(); });
  }
  // Must not be called under a LibreLock: a tick may be waiting for it.
  void stopClock() { clock.stop(); }

  // Worker thread or LibreLock: the stream the clock sends to and whose
  // packets fill the jitter buffer.
  void attach(AudioStream* audio) {
    stream = audio;
    received.clear();
    {
      // An event cut short by the end of the last call belongs to its stream.
      std::lock_guard lock(fifoMutex);
      events.clear();
    }
    streaming = true;
  }
  void detach() {
    streaming = false;
    stream = nullptr;
  }
  JitterBuffer& jitterBuffer() { return received; }

  void queueEvent(int code, std::uint32_t durationMs) {
    std::lock_guard lock(fifoMutex);
    events.queue(code, durationMs);
  }

  ToneAnalyzer* analyzer;
  std::mutex fifoMutex;
  std::condition_variable fifoDrained;
  std::deque<std::int16_t> sampleFifo;

 private:
  void tick() {
    if (!streaming) return;
    std::int16_t in[frameSamples];
    received.take(in, frameSamples);
    onFrameReceived(in, frameSamples);
    std::int16_t out[frameSamples];
    onFrameRequested(out, frameSamples);
    if (sink) sink->onTick(in, out);
    std::optional<EventPacket> event;
    {
      std::lock_guard lock(fifoMutex);
      event = events.poll();
    }
    LibreLock lock;
    if (stream) stream->sendTick(out, frameSamples, event);
  }

  CallAudioSink* sink;
  JitterBuffer received;
  TelephoneEventPacer events;  // guarded by fifoMutex
  AudioStream* stream = nullptr;  // guarded by libre's lock
  std::atomic<bool> streaming{false};
  MediaClock clock;
};

}  // namespace
}  // namespace qav
