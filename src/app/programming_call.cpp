#include "app/programming_call.h"

#include <memory>

#include "dialogue/device_programmer.h"
#include "telephony/telephony_session.h"

namespace qav {

void runProgrammingCall(const Settings& settings, Reporter& reporter) {
  std::unique_ptr<TelephonySession> session = createTelephonySession();
  try {
    DeviceProgrammer programmer(*session, settings, reporter);
    programmer.run();
  } catch (...) {
    // No call or registration may outlive the error line.
    session->hangup();
    session->shutdown();
    session.reset();
    throw;
  }
  session->hangup();
  session->shutdown();
}

}  // namespace qav
