// Received call audio, placed by RTP timestamp and played out at the media
// clock's pace: reordering, duplicates, losses and silence gaps absorbed.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace qav {

// Filled by the RTP receive handler, drained by the media clock thread. The
// playout position follows the sender's timestamps; a sample that never
// arrived plays as silence, except in one lost frame between received ones,
// which repeats the frame before it: a single lost packet must not cut a
// tone burst in two. The buffer starts, and after running empty starts
// again, once prefetchSamples are waiting; it never holds more than
// capacitySamples ahead of the playout position.
class JitterBuffer {
 public:
  JitterBuffer(std::uint32_t prefetchSamples, std::uint32_t capacitySamples);

  void put(std::uint32_t timestamp, const std::int16_t* samples, std::size_t count);
  // Always fills count samples; true when they carry audio, received or
  // repeated for a lost frame.
  bool take(std::int16_t* out, std::size_t count);
  void clear();

 private:
  // Timestamps extended to 64 bits, so that ordering survives the wrap of
  // the 32-bit RTP timestamp.
  using Packets = std::map<std::int64_t, std::vector<std::int16_t>>;

  std::int64_t extend(std::uint32_t timestamp);
  std::int64_t bufferedEnd() const;
  void reset();
  void startWhenFilled();
  void trimToCapacity();
  bool conceal(std::int16_t* out, std::int64_t to) const;

  const std::int64_t prefetchSamples;
  const std::int64_t capacitySamples;
  std::mutex mutex;
  Packets packets;
  bool anchored = false;
  std::uint32_t lastTimestamp = 0;
  std::int64_t lastExtended = 0;
  std::int64_t playout = 0;
  bool playing = false;
  // The last frame played, when all of it was received.
  std::vector<std::int16_t> lastFrame;
  // Which samples of the frame being taken arrived; kept to spare the media
  // clock an allocation every frame.
  std::vector<bool> filled;
};

}  // namespace qav
