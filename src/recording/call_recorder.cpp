#include "recording/call_recorder.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "report/file_reason.h"

namespace qav {

namespace {

constexpr int sampleRate = 8000;
// The writer wakes this often; the ring holds many times as much.
constexpr std::chrono::milliseconds writePeriod{100};
// Frames handed to libsndfile in one call, each followed by a header update.
constexpr std::size_t batchFrames = 25;

std::runtime_error cannotWrite(const std::string& path, const std::string& reason) {
  return std::runtime_error("Aufnahmedatei kann nicht geschrieben werden: " + path + ": " + reason);
}

// A FIFO without a reader would block open() for ever, and a device or pipe
// cannot take the header that close() writes back at the start: only a
// regular file is accepted.
int openRegularFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0600);
  if (fd < 0) throw cannotWrite(path, fileErrorReason(errno));
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    throw cannotWrite(path, "keine reguläre Datei");
  }
  return fd;
}

}  // namespace

CallRecorder::CallRecorder(const std::string& filePath, std::size_t ringFrames)
    : path(filePath), ring(ringFrames), batch(batchFrames * 2 * callFrameSamples) {
  descriptor = openRegularFile(path);
  SF_INFO format{};
  format.samplerate = sampleRate;
  format.channels = 2;
  format.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  // The header is written here, so a full disk shows now, before any call.
  errno = 0;
  file = sf_open_fd(descriptor, SFM_WRITE, &format, SF_FALSE);
  if (file == nullptr) {
    const std::string reason = errno != 0 ? fileErrorReason(errno) : sf_strerror(nullptr);
    ::close(descriptor);
    throw cannotWrite(path, reason);
  }
  sf_command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
  writer = std::thread([this] { writeLoop(); });
}

CallRecorder::~CallRecorder() { close(); }

void CallRecorder::onTick(const std::int16_t* received, const std::int16_t* sent) noexcept {
  if (!ring.put(received, sent)) dropped.fetch_add(1, std::memory_order_relaxed);
}

void CallRecorder::close() noexcept {
  if (!writer.joinable()) return;
  {
    std::lock_guard lock(stopMutex);
    stopping = true;
  }
  stopWake.notify_all();
  writer.join();
  sf_close(file);
  ::close(descriptor);
  file = nullptr;
  descriptor = -1;
  written.framesLost += dropped.load();
}

RecordingOutcome CallRecorder::outcome() const { return written; }

// What the clock queued before close() is written after the stop request.
void CallRecorder::writeLoop() {
  bool stop = false;
  while (!stop) {
    {
      std::unique_lock lock(stopMutex);
      stopWake.wait_for(lock, writePeriod, [this] { return stopping; });
      stop = stopping;
    }
    drain();
  }
}

void CallRecorder::drain() {
  while (true) {
    std::size_t frames = 0;
    while (frames < batchFrames) {
      const StereoFrame* frame = ring.front();
      if (frame == nullptr) break;
      std::copy(frame->begin(), frame->end(), batch.begin() + static_cast<std::ptrdiff_t>(frames * frame->size()));
      ring.pop();
      ++frames;
    }
    if (frames == 0) return;
    writeBatch(frames);
  }
}

// After a short write the file ends where the disk ended, but libsndfile's
// position and the file's size have parted ways: a further write can land
// over earlier audio and leave a header that claims more than there is.
// Later frames are only counted.
void CallRecorder::writeBatch(std::size_t frames) {
  if (!written.writeError.empty()) {
    written.framesLost += frames;
    return;
  }
  errno = 0;
  const sf_count_t done = sf_writef_short(file, batch.data(), static_cast<sf_count_t>(frames * callFrameSamples));
  const auto doneFrames = static_cast<std::uint64_t>(done) / callFrameSamples;
  written.framesWritten += doneFrames;
  if (done == static_cast<sf_count_t>(frames * callFrameSamples)) return;
  written.framesLost += frames - doneFrames;
  written.writeError = errno != 0 ? fileErrorReason(errno) : sf_strerror(file);
}

}  // namespace qav
