#include "sipp_peer.h"

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace qav::testing {
namespace {

// The inode of the UDP socket bound to the port, as /proc/net/udp lists it
// ("sl local rem st queues tr retrnsmt uid timeout inode ..."); 0 if none.
unsigned long udpSocketInode(std::uint16_t port) {
  std::ifstream table("/proc/net/udp");
  std::string line;
  std::getline(table, line);
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
    unsigned long inode = 0;
    if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode))
      continue;
    const std::size_t colon = local.find(':');
    if (colon != std::string::npos && std::stoul(local.substr(colon + 1), nullptr, 16) == port) return inode;
  }
  return 0;
}

bool processHoldsSocket(pid_t pid, unsigned long inode) {
  const std::string wanted = "socket:[" + std::to_string(inode) + "]";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    std::error_code unreadable;
    if (std::filesystem::read_symlink(entry.path(), unreadable).string() == wanted) return true;
  }
  return false;
}

// Free ports are picked by binding and closing, so another process may take
// one before sipp binds it: only sipp holding the socket itself counts.
bool listensOn(pid_t pid, std::uint16_t port) {
  const unsigned long inode = udpSocketInode(port);
  return inode != 0 && processHoldsSocket(pid, inode);
}

std::string scenarioPath(const std::string& scenario) {
  return scenario.rfind('/', 0) == 0 ? scenario : std::string(QAV_SIPP_DIR) + "/" + scenario;
}

std::string baseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

SippPeer::SippPeer(const std::string& scenario, const std::string& workingDirectory)
    : SippPeer(scenario, SippOptions{.workingDirectory = workingDirectory}) {}

SippPeer::SippPeer(const std::string& scenario, const SippOptions& options) {
  if (options.workingDirectory.empty() || options.keepMessages) ownDirectory = std::make_unique<TemporaryDirectory>();
  const std::string workingDirectory =
      options.workingDirectory.empty() ? ownDirectory->path() : options.workingDirectory;
  for (const auto& [name, content] : options.files)
    std::ofstream(workingDirectory + "/" + name, std::ios::binary) << content;
  // QAV_SIPP_TRACE=DIR keeps sipp's logs of any peer, for debugging a scenario.
  if (options.keepMessages) {
    messageLog = ownDirectory->path() + "/messages.log";
    errorLog = ownDirectory->path() + "/errors.log";
  } else if (const char* trace = std::getenv("QAV_SIPP_TRACE")) {
    messageLog = std::string(trace) + "/" + baseName(scenario) + ".log";
    errorLog = std::string(trace) + "/" + baseName(scenario) + ".err";
  }
  // sipp ends at once when a port it was given has been taken meanwhile;
  // it then gets fresh ones.
  for (int attempt = 0; attempt < 5; ++attempt)
    if (start(scenario, options, workingDirectory)) return;
  throw std::runtime_error("sipp did not come up with scenario " + scenario + " (ended at once or never listened)");
}

bool SippPeer::start(const std::string& scenario, const SippOptions& options, const std::string& workingDirectory) {
  sipPort = freeLoopbackPort();
  rtpPort = freeLoopbackPort();
  std::vector<std::string> arguments = {"sipp", "-sf", scenarioPath(scenario),
                                        "-i", "127.0.0.1", "-p", std::to_string(sipPort),
                                        "-mi", "127.0.0.1", "-mp", std::to_string(rtpPort),
                                        "-m", std::to_string(options.calls), "-nostdin",
                                        "-timeout", std::to_string(options.timeout.count()) + "s", "-timeout_error"};
  if (!messageLog.empty())
    arguments.insert(arguments.end(),
                     {"-trace_msg", "-message_file", messageLog, "-trace_err", "-error_file", errorLog});
  arguments.insert(arguments.end(), options.extra.begin(), options.extra.end());
  sipp = std::make_unique<Process>(Command{arguments, std::nullopt, workingDirectory, Streams::None});
  for (int i = 0; i < 500; ++i) {
    if (sipp->readUntil(Clock::now() + std::chrono::milliseconds(10))) return false;
    if (listensOn(sipp->pid(), sipPort)) return true;
  }
  stop();
  return false;
}

SippPeer::~SippPeer() { stop(); }

void SippPeer::stop() {
  if (sipp) sipp->sendSignal(SIGKILL);
  sipp.reset();
}

std::string SippPeer::uri(const std::string& user) const {
  return "sip:" + user + "@127.0.0.1:" + std::to_string(sipPort);
}

int SippPeer::wait(std::chrono::milliseconds limit) {
  if (!sipp) return -1;
  if (!sipp->readUntil(Clock::now() + limit)) {
    stop();
    return -1;
  }
  return sipp->run().status.value_or(-1);
}

std::string SippPeer::messages() const {
  if (messageLog.empty()) return "";
  std::ifstream in(messageLog, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> SippPeer::receivedRequests() const {
  // sipp logs each message after a line naming its direction.
  const std::string log = messages();
  const std::regex received("message received \\[\\d+\\] bytes :\\n+([A-Z]+) ");
  std::vector<std::string> methods;
  for (auto it = std::sregex_iterator(log.begin(), log.end(), received); it != std::sregex_iterator(); ++it)
    methods.push_back((*it)[1]);
  return methods;
}

}  // namespace qav::testing
