// Settings for sessions under test: the test PBX's accounts on loopback,
// and a helper that expects a German failure message.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "settings/settings.h"

namespace qav::testing {

inline SipSettings pbxAccount(std::uint16_t port, SipTransport transport = SipTransport::Udp,
                              const std::string& user = "tester", const std::string& password = "tester-secret") {
  SipSettings settings;
  settings.server = "127.0.0.1";
  settings.port = port;
  settings.transport = transport;
  settings.user = user;
  settings.password = password;
  return settings;
}

// The message of the runtime_error that action throws; fails the test when
// it throws nothing.
inline std::string failureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  ADD_FAILURE() << "no exception";
  return "";
}

}  // namespace qav::testing
