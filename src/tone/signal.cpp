#include "tone/signal.h"

namespace qav {

std::string signalName(Signal signal) {
  switch (signal) {
    case Signal::SingleConfirmation: return "einfacher Bestätigungston";
    case Signal::DoubleConfirmation: return "doppelter Bestätigungston";
    case Signal::MultiDevicePrompt: return "Mehrgeräte-Nachwahlaufforderung";
    case Signal::AlternatingDisconnect: return "alternierende Trennfolge";
    case Signal::ParameterError: return "Parameter-Fehlerton";
  }
  return "unbekannt";
}

bool isStartSignal(Signal signal) {
  return (static_cast<std::int32_t>(signal) & ~2) == 0;
}

}  // namespace qav
