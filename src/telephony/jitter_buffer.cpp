#include "telephony/jitter_buffer.h"

#include <algorithm>

namespace qav {

JitterBuffer::JitterBuffer(std::uint32_t prefetch, std::uint32_t capacity)
    : prefetchSamples(prefetch), capacitySamples(std::max(capacity, prefetch)) {}

std::int64_t JitterBuffer::extend(std::uint32_t timestamp) {
  if (!anchored) {
    anchored = true;
    lastTimestamp = timestamp;
    lastExtended = 0;
  }
  lastExtended += static_cast<std::int32_t>(timestamp - lastTimestamp);
  lastTimestamp = timestamp;
  return lastExtended;
}

std::int64_t JitterBuffer::bufferedEnd() const {
  if (packets.empty()) return playout;
  const auto& last = *packets.rbegin();
  return last.first + static_cast<std::int64_t>(last.second.size());
}

void JitterBuffer::reset() {
  packets.clear();
  playing = false;
  lastFrame.clear();
}

void JitterBuffer::put(std::uint32_t timestamp, const std::int16_t* samples, std::size_t count) {
  if (count == 0) return;
  std::lock_guard lock(mutex);
  const std::int64_t at = extend(timestamp);
  const std::int64_t end = at + static_cast<std::int64_t>(count);
  const std::int64_t reference = playing ? playout : (packets.empty() ? at : packets.begin()->first);
  // A jump far ahead or behind is a new stream (new source, restarted
  // sender), not jitter: start over from it.
  if (at > reference + capacitySamples || end < reference - capacitySamples) reset();
  if (playing && end <= playout) return;
  packets.emplace(at, std::vector<std::int16_t>(samples, samples + count));
  trimToCapacity();
}

void JitterBuffer::trimToCapacity() {
  const std::int64_t end = bufferedEnd();
  if (playing) {
    // The sender's clock runs faster than ours: skip ahead rather than let
    // the delay grow.
    if (end - playout > capacitySamples) playout = end - prefetchSamples;
  }
  while (!packets.empty() && end - packets.begin()->first > capacitySamples) {
    if (playing && packets.begin()->first + static_cast<std::int64_t>(packets.begin()->second.size()) > playout) break;
    packets.erase(packets.begin());
  }
}

void JitterBuffer::startWhenFilled() {
  if (playing || packets.empty()) return;
  const std::int64_t first = packets.begin()->first;
  if (bufferedEnd() - first < prefetchSamples) return;
  playing = true;
  playout = first;
}

// Only a gap that ends within this frame, after a frame that was received
// whole: longer gaps are pauses of the sender or real losses, and repeating
// more than one frame would invent sound.
bool JitterBuffer::conceal(std::int16_t* out, std::int64_t to) const {
  if (lastFrame.size() != filled.size() || packets.empty() || packets.begin()->first > to) return false;
  for (std::size_t i = 0; i < filled.size(); ++i) {
    if (!filled[i]) out[i] = lastFrame[i];
  }
  return true;
}

bool JitterBuffer::take(std::int16_t* out, std::size_t count) {
  std::fill(out, out + count, std::int16_t{0});
  std::lock_guard lock(mutex);
  startWhenFilled();
  if (!playing) {
    lastFrame.clear();
    return false;
  }
  const std::int64_t from = playout;
  const std::int64_t to = from + static_cast<std::int64_t>(count);
  filled.assign(count, false);
  std::size_t received = 0;
  for (auto it = packets.begin(); it != packets.end() && it->first < to;) {
    const std::int64_t start = it->first;
    const std::int64_t stop = start + static_cast<std::int64_t>(it->second.size());
    for (std::int64_t t = std::max(start, from); t < std::min(stop, to); ++t) {
      out[t - from] = it->second[static_cast<std::size_t>(t - start)];
      filled[static_cast<std::size_t>(t - from)] = true;
      ++received;
    }
    it = stop <= to ? packets.erase(it) : std::next(it);
  }
  playout = to;
  const bool concealed = received < count && conceal(out, to);
  if (received == count) {
    lastFrame.assign(out, out + count);
  } else {
    lastFrame.clear();
  }
  if (packets.empty()) playing = false;
  return received > 0 || concealed;
}

void JitterBuffer::clear() {
  std::lock_guard lock(mutex);
  reset();
  anchored = false;
}

}  // namespace qav
