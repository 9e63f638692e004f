// The five answer tones a QAV gives on the voice channel, with the German
// names under which they appear in listings and messages.
#pragma once

#include <cstdint>
#include <string>

namespace qav {

enum class Signal : std::int32_t {
  SingleConfirmation = 0,
  DoubleConfirmation = 1,
  MultiDevicePrompt = 2,
  AlternatingDisconnect = 3,
  ParameterError = 4,
};

// "unbekannt" for any value outside 0 to 4.
std::string signalName(Signal signal);

// True for the two greetings a QAV starts a call with: SingleConfirmation
// (single device) and MultiDevicePrompt (shared line).
bool isStartSignal(Signal signal);

}  // namespace qav
