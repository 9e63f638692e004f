#include "scripted_peer.h"

#ifndef QAV_HOSTILE_SIPP_DIR
#error "QAV_HOSTILE_SIPP_DIR must name the directory of the scenarios"
#endif

namespace qav::hostile {

ScriptedPeer::ScriptedPeer(const std::string& scenario, int calls, const std::vector<std::string>& extra,
                           const std::map<std::string, std::string>& files)
    : SippPeer(std::string(QAV_HOSTILE_SIPP_DIR) + "/" + scenario,
               {.workingDirectory = "", .files = files, .calls = calls, .timeout = std::chrono::seconds(150),
                .keepMessages = true, .extra = extra}) {}

}  // namespace qav::hostile
