// sipp playing one scenario of tests/hostile/sipp on a free loopback port, in
// a directory of its own, with its message log kept so that a test can read
// what went over the wire.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sipp_peer.h"

namespace qav::hostile {

class ScriptedPeer : public testing::SippPeer {
 public:
  // calls: how many scenario instances (one per Call-ID) sipp plays
  // before it ends; extra: further sipp arguments; files: name and content
  // of files put in sipp's working directory before it starts.
  explicit ScriptedPeer(const std::string& scenario, int calls = 1, const std::vector<std::string>& extra = {},
                        const std::map<std::string, std::string>& files = {});
};

}  // namespace qav::hostile
