// Which of our BYE, CANCEL and REGISTER requests still await their final
// response, read off the SIP trace, so that shutdown waits only as needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <set>
#include <string>

namespace qav {

class UnansweredRequests {
 public:
  // One packet of libre's trace handler, sent or received.
  void traced(bool sent, const std::uint8_t* packet, std::size_t length);
  // Retransmissions of a request count once.
  bool awaiting(std::initializer_list<const char*> methods) const;
  // Whether such a request has had no response at all yet, not even 100.
  bool unheard(std::initializer_list<const char*> methods) const;

 private:
  std::set<std::string> keys;      // "method call-id cseq"
  std::set<std::string> silences;  // the keys without any response
};

}  // namespace qav
