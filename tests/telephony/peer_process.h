// The test peer program started for one test, registered at the test PBX:
// its event lines read with a time limit, the process ended with the object.
#pragma once

#include <cstdint>
#include <string>

#include "process.h"

#ifndef QAV_TEST_PEER
#error "QAV_TEST_PEER must name the test peer program"
#endif

namespace qav::testing {

class PeerProcess : public Process {
 public:
  // Registers as user at the test PBX's UDP port; its error output stays
  // the test's own.
  PeerProcess(std::uint16_t registrarPort, const std::string& user, const std::string& password)
      : Process({{QAV_TEST_PEER, "--registrar-port", std::to_string(registrarPort), "--user", user, "--password",
                  password},
                 std::nullopt,
                 "",
                 Streams::OutOnly}) {}
};

}  // namespace qav::testing
