// The recording of a programming call: a stereo WAV file, 8 kHz, 16 bit,
// left what came from the QAV, right what was sent to it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "recording/stereo_frame_ring.h"
#include "telephony/call_audio_sink.h"

typedef struct sf_private_tag SNDFILE;

namespace qav {

// What a closed recording holds and what it lost.
struct RecordingOutcome {
  std::uint64_t framesWritten = 0;
  // Packet times missing from the file: the ring was full (a slow disk) or
  // a write failed.
  std::uint64_t framesLost = 0;
  // Why the file stopped growing; empty if it did not.
  std::string writeError;
};

// Threads: onTick on the media clock only; everything else on the owner's
// thread. A writer thread of its own moves frames from the ring to the file,
// so a slow or full disk never holds up the clock: a frame that finds the
// ring full is dropped and counted. The header is brought up to date after
// every write, so a process that dies still leaves a valid file of what was
// written; close() completes it.
class CallRecorder final : public CallAudioSink {
 public:
  // Ten seconds of audio between clock and disk.
  static constexpr std::size_t defaultRingFrames = 500;

  // Creates the file (mode 0600: the sent digits include the PIN) or
  // empties an existing one, and writes the header. Throws
  // std::runtime_error naming the path and the reason.
  explicit CallRecorder(const std::string& path, std::size_t ringFrames = defaultRingFrames);
  ~CallRecorder() override;
  CallRecorder(const CallRecorder&) = delete;
  CallRecorder& operator=(const CallRecorder&) = delete;

  void onTick(const std::int16_t* received, const std::int16_t* sent) noexcept override;

  // Writes what is still queued, stops the writer and closes the file; the
  // second call does nothing. Call it once the clock no longer ticks.
  void close() noexcept;
  // Only after close().
  RecordingOutcome outcome() const;

 private:
  void writeLoop();
  void drain();
  void writeBatch(std::size_t frames);

  const std::string path;
  int descriptor = -1;
  SNDFILE* file = nullptr;
  StereoFrameRing ring;
  std::atomic<std::uint64_t> dropped{0};
  // Writer thread only until it is joined.
  std::vector<std::int16_t> batch;
  RecordingOutcome written;
  std::mutex stopMutex;
  std::condition_variable stopWake;
  bool stopping = false;  // guarded by stopMutex
  std::thread writer;
};

}  // namespace qav
