// Collects the digits of one entry as they arrive and decides when the entry
// is over: at its length, after a pause in the digits, or when none came.
#pragma once

#include <optional>
#include <string>

#include "qav-sim/dialogue_timing.h"
#include "qav-sim/entry_format.h"

namespace qav::sim {

enum class EntryStatus { Reading, Complete, Abandoned };

class EntryReader {
 public:
  explicit EntryReader(milliseconds interDigitPause);

  // idleLimit: how long the device waits for a first digit before it takes
  // an empty entry (formats that may be empty) or gives the entry up; none
  // means it waits for good. The wait starts with armIdle.
  void begin(const EntryFormat& format, std::optional<milliseconds> idleLimit);
  // From the end of the device's answer to the previous entry.
  void armIdle(DeviceTime since);
  // Forgets the digits and waits for the same entry again from `since`.
  void restart(DeviceTime since);

  EntryStatus add(char digit, DeviceTime at);
  EntryStatus poll(DeviceTime now) const;
  // When poll will next change its result, if it will.
  std::optional<DeviceTime> deadline() const;

  const std::string& text() const { return text_; }
  bool empty() const { return text_.empty(); }

 private:
  milliseconds pause_;
  EntryFormat format_;
  std::optional<milliseconds> idleLimit_;
  std::optional<DeviceTime> idleSince_;
  std::optional<DeviceTime> lastDigit_;
  std::string text_;
};

}  // namespace qav::sim
