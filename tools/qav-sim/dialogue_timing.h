// The time limits of the simulated QAV's dialogue: when it greets, how it
// tells where an entry ends, and how long it waits before it gives up.
#pragma once

#include <chrono>

namespace qav::sim {

using DeviceClock = std::chrono::steady_clock;
using DeviceTime = DeviceClock::time_point;
using std::chrono::milliseconds;

// The defaults follow from what the programming side does on the line:
//
// - The digits of one entry arrive one tone plus one gap apart: 610 ms with
//   the sender's defaults (500 ms tone, 110 ms gap), 40 ms with the fastest
//   setting (40 ms tone, no gap). A variable-length entry therefore ends
//   only after a pause clearly longer than that spacing plus network jitter:
//   1500 ms. A sender spacing its digits by more than about 1400 ms (tone
//   and gap together) needs a longer pause here.
// - The sender sends nothing before it has classified the previous answer:
//   the answer itself, 540 ms of silence that close the tone group, its
//   settle delay (default 500 ms), then the first tone of the next entry,
//   which the device registers when it ends (another tone length). After an
//   answer that is 1540 ms with the defaults and 580 ms with the fastest
//   settings, so 3000 ms without a digit safely means an empty entry. A
//   settle delay plus tone length beyond about 2400 ms needs a longer limit.
// - An entry that may not be empty is given up after 8000 ms without a
//   digit, and the command with it. That is shorter than the sender's 10 s
//   wait for an answer plus its 700 ms pause, so a sender that repeats a
//   sequence after a lost step finds the device ready for an opening code.
// - The device answers 200 ms after the tone of a completing digit has
//   ended. With telephone events the sender keeps its analyzer off for one
//   tone length after it starts the last digit, the moment the device sees
//   that digit end; answering on the spot would race that.
// - The start signal follows 500 ms after the call is answered, once media
//   flows; the calibration measures the line for 4000 ms, well inside the
//   sender's 30 s limit for it.
struct DialogueTiming {
  milliseconds startSignalDelay{500};
  milliseconds answerDelay{200};
  milliseconds interDigitPause{1500};
  milliseconds emptyEntryAfter{3000};
  milliseconds abandonAfter{8000};
  milliseconds calibration{4000};
};

}  // namespace qav::sim
