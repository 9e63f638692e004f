#include "qav-sim/entry_reader.h"

namespace qav::sim {

EntryReader::EntryReader(milliseconds interDigitPause) : pause_(interDigitPause) {}

void EntryReader::begin(const EntryFormat& format, std::optional<milliseconds> idleLimit) {
  format_ = format;
  idleLimit_ = idleLimit;
  idleSince_.reset();
  lastDigit_.reset();
  text_.clear();
}

void EntryReader::armIdle(DeviceTime since) { idleSince_ = since; }

void EntryReader::restart(DeviceTime since) {
  lastDigit_.reset();
  text_.clear();
  idleSince_ = since;
}

EntryStatus EntryReader::add(char digit, DeviceTime at) {
  text_.push_back(digit);
  lastDigit_ = at;
  // A fixed-length entry ends with its last digit; a longer one is a
  // format error that the caller finds once the entry is judged.
  return format_.fixedLength() && text_.size() >= format_.maxLength ? EntryStatus::Complete
                                                                    : EntryStatus::Reading;
}

EntryStatus EntryReader::poll(DeviceTime now) const {
  const std::optional<DeviceTime> due = deadline();
  if (!due || now < *due) return EntryStatus::Reading;
  if (!text_.empty() || format_.mayBeEmpty()) return EntryStatus::Complete;
  return EntryStatus::Abandoned;
}

std::optional<DeviceTime> EntryReader::deadline() const {
  if (lastDigit_) return *lastDigit_ + pause_;
  if (idleLimit_ && idleSince_) return *idleSince_ + *idleLimit_;
  return std::nullopt;
}

}  // namespace qav::sim
