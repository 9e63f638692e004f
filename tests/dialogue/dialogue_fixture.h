// A device programmer wired to the scripted fake session and a JSON reporter
// whose events the tests read back, plus checks on the kind of failure.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "dialogue/connection_ended.h"
#include "dialogue/device_programmer.h"
#include "fake_session.h"

namespace qav {

struct Event {
  std::string level;
  std::string event;
  std::string message;
  bool operator==(const Event&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Event& e);

class DialogueTest : public ::testing::Test {
 protected:
  std::vector<Event> events() const;
  std::vector<Event> eventsAt(const std::string& level) const;

  Settings settings;
  FakeClock clock;
  FakeSession session{clock};
  std::ostringstream output;
  Reporter reporter{ColorMode::Never, true, output, false};
  DeviceProgrammer programmer{session, settings, reporter, clock};
};

// The message of the failure f ends with; the test fails unless it is a
// ConnectionEnded (final) or, for the other, a failure that may be repeated.
template <typename F>
std::string connectionEndedBy(F&& f) {
  try {
    f();
  } catch (const ConnectionEnded& e) {
    return e.what();
  } catch (const std::exception& e) {
    ADD_FAILURE() << "not a ConnectionEnded: " << e.what();
    return e.what();
  }
  ADD_FAILURE() << "no failure";
  return "";
}

template <typename F>
std::string repeatableFailureOf(F&& f) {
  try {
    f();
  } catch (const ConnectionEnded& e) {
    ADD_FAILURE() << "unexpected ConnectionEnded: " << e.what();
    return e.what();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  ADD_FAILURE() << "no failure";
  return "";
}

}  // namespace qav
