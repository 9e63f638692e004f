// Odd SIP datagrams in the manner of the SIP torture tests: folding and
// whitespace, escapes, huge and missing headers, bad Content-Length, unknown
// methods, several bodies, stray responses and plain garbage.
#pragma once

#include <string>
#include <vector>

namespace qav::hostile {

struct TortureMessage {
  std::string name;
  std::string text;
};

// Messages for the SIP port `target`; responses to them go back to the
// sender's port `own`. round makes branches and Call-IDs unique.
std::vector<TortureMessage> tortureMessages(int target, int own, int round);

// A well-formed OPTIONS whose 200 shows that the stack still answers; its
// CSeq number is round.
std::string livenessProbe(int target, int own, int round);

// The CSeq number every stray response carries: nothing may answer it.
constexpr const char* strayCSeq = "7777";

}  // namespace qav::hostile
