// qav-test-peer: the test peer as a process of its own (libre allows one loop
// per process), reporting its events as lines on standard output.
#include <re.h>
#include <signal.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "test_peer.h"

namespace {

void stopLoop(int) { re_cancel(); }

qav::testing::TestPeerOptions parse(int argc, char** argv) {
  qav::testing::TestPeerOptions options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const std::string value = argv[i + 1];
    if (key == "--registrar-port") options.registrarPort = static_cast<std::uint16_t>(std::stoi(value));
    else if (key == "--registrar-host") options.registrarHost = value;
    else if (key == "--user") options.user = value;
    else if (key == "--password") options.password = value;
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef __linux__
  // Never outlive the test that started us.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
  if (libre_init() != 0) return 1;
  int status = 0;
  try {
    qav::testing::TestPeer peer(parse(argc, argv), [](const std::string& line) {
      std::cout << line << std::endl;
    });
    re_main([](int signal) { stopLoop(signal); });
  } catch (const std::exception& error) {
    std::cerr << "qav-test-peer: " << error.what() << "\n";
    status = 1;
  }
  libre_close();
  return status;
}
