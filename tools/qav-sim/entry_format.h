// The digit formats of the QAV's parameter entries: how long an entry is and
// which digit strings the device takes for it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace qav::sim {

// An entry whose shortest and longest length are equal ends with its last
// digit; any other entry ends after a pause in the digits. An entry that may
// be empty (shortest length 0) is taken as empty when no digit comes at all.
struct EntryFormat {
  std::size_t minLength = 1;
  std::size_t maxLength = 1;
  std::function<bool(const std::string&)> accepts;  // the content, length already checked

  bool fixedLength() const { return minLength == maxLength; }
  bool mayBeEmpty() const { return minLength == 0; }
};

bool conforms(const EntryFormat& format, const std::string& entry);

EntryFormat digitEntry(char lowest, char highest);  // one digit in that range
EntryFormat clockTimeEntry();                       // HHMM, 24-hour
EntryFormat calendarDateEntry();                    // DDMMYYYY, a real calendar day
EntryFormat intervalDaysEntry();                    // 01 to 99
EntryFormat dialNumberEntry(std::size_t minLength);  // up to 25 of 0-9, * and #
EntryFormat triggerEntry();                          // trigger, loudspeaker, microphone: 1 to 3
EntryFormat pinEntry();                              // four digits
EntryFormat dialAttemptsEntry();                     // 0 to 12
EntryFormat z208IdEntry();                           // one to eight digits
EntryFormat openingCodeEntry();                      // "#*" and two digits

}  // namespace qav::sim
