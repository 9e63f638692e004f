#include "telephony/libre_error.h"

#include <re.h>

#include <cerrno>

namespace qav {

std::string libreErrorText(int err) {
  char buffer[128] = {};
  const char* text = str_error(err, buffer, sizeof buffer);
  return text && *text ? std::string(text) : "Fehler " + std::to_string(err);
}

void checkLibre(int err) {
  if (err) throw LibreFailure(libreErrorText(err));
}

int statusForTransportError(int err) { return err == ETIMEDOUT ? 408 : 503; }

}  // namespace qav
