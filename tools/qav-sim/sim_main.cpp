// qav-sim: a simulated QAV on a real SIP line, for demonstrations and for
// end-to-end tests of the programming side.
#include <signal.h>
#include <time.h>

#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "qav-sim/device_state_file.h"
#include "qav-sim/error_line.h"
#include "qav-sim/event_log.h"
#include "qav-sim/sim_agent.h"
#include "qav-sim/sim_options.h"
#include "telephony/libre_loop.h"

namespace {

using qav::sim::SimOptions;

constexpr int kUsageError = 2;
constexpr int kRunError = 1;

// How often the main thread looks for ended calls between signals.
constexpr long kPollNanoseconds = 50'000'000;

sigset_t stopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}

bool stopRequested(const sigset_t& set) {
  const timespec wait{0, kPollNanoseconds};
  return sigtimedwait(&set, nullptr, &wait) > 0;
}

// Until a signal, the requested number of calls, or a refused registration.
int serve(const SimOptions& options, qav::sim::SimAgent& agent, const sigset_t& signals) {
  while (!stopRequested(signals)) {
    agent.reapFinishedCalls();
    if (options.calls && agent.callsFinished() >= *options.calls) return 0;
    if (const std::optional<qav::sim::RefusedRegistration> refused = agent.registrationRefused()) {
      const std::string whose = options.devices ? " für " + refused->user : "";
      qav::sim::printError("SIP-Registrierung" + whose + " abgelehnt (SIP " + std::to_string(refused->status) + ")");
      return kRunError;
    }
  }
  return 0;
}

void createStateDir(const std::string& dir) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) throw std::runtime_error("Zustandsverzeichnis " + dir + " kann nicht angelegt werden: " + error.message());
}

int run(const SimOptions& options) {
  if (!options.stateDir.empty()) createStateDir(options.stateDir);
  // A state file that cannot be read fails now, not at the first call.
  for (const qav::sim::DeviceSpec& device : qav::sim::deviceSpecs(options))
    if (!device.stateFile.empty()) (void)qav::sim::loadDeviceState(device.stateFile);
  const sigset_t signals = stopSignals();
  // Blocked before any thread starts, so that every thread inherits it and
  // only the main thread's sigtimedwait takes the signals.
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  qav::sim::EventLog log(options.events);
  qav::LibreLoop loop;
  int status = 0;
  {
    qav::sim::SimAgent agent(options, log);
    status = serve(options, agent, signals);
    agent.shutdown();
  }
  loop.stop();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  SimOptions options;
  try {
    options = qav::sim::parseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& error) {
    qav::sim::printError(error.what());
    std::cerr << qav::sim::simUsage();
    return kUsageError;
  }
  if (options.help) {
    std::cout << qav::sim::simUsage();
    return 0;
  }
  try {
    return run(options);
  } catch (const std::exception& error) {
    qav::sim::printError(error.what());
    return kRunError;
  }
}
