// qav-hold-call: registers, calls a target and holds the call, for measuring
// what one call costs (run it under /usr/bin/time -v); prints its timings.
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include "telephony/telephony_session.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: qav-hold-call PBX_UDP_PORT TARGET SECONDS\n";
    return 2;
  }
  using namespace std::chrono;
  qav::SipSettings settings;
  settings.server = "127.0.0.1";
  settings.port = static_cast<std::uint16_t>(std::atoi(argv[1]));
  settings.user = "tester";
  settings.password = "tester-secret";
  auto session = qav::createTelephonySession();
  try {
    const auto start = steady_clock::now();
    session->registerAccount(settings);
    const auto registered = steady_clock::now();
    session->placeCall(argv[2]);
    const auto connected = steady_clock::now();
    std::cout << "registered after " << duration_cast<microseconds>(registered - start).count() / 1000.0
              << " ms, connected after " << duration_cast<microseconds>(connected - registered).count() / 1000.0
              << " ms\n";
    std::this_thread::sleep_for(seconds(std::atoi(argv[3])));
  } catch (const std::exception& error) {
    std::cerr << "Fehler: " << error.what() << "\n";
    return 3;
  }
  session->hangup();
  session->shutdown();
  return 0;
}
