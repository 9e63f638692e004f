#include "telephony/unanswered_requests.h"

#include <re.h>

#include <cstring>

namespace qav {

namespace {

std::string text(const struct pl& value) { return std::string(value.p ? value.p : "", value.l); }

bool tracked(const std::string& method) {
  return method == "INVITE" || method == "BYE" || method == "CANCEL" || method == "REGISTER";
}

bool anyOf(const std::set<std::string>& keys, std::initializer_list<const char*> methods) {
  for (const std::string& key : keys)
    for (const char* method : methods)
      if (key.compare(0, std::strlen(method) + 1, std::string(method) + " ") == 0) return true;
  return false;
}

}  // namespace

void UnansweredRequests::traced(bool sent, const std::uint8_t* packet, std::size_t length) {
  struct mbuf* buffer = mbuf_alloc(length);
  if (!buffer) return;
  struct sip_msg* msg = nullptr;
  if (mbuf_write_mem(buffer, packet, length) == 0) {
    buffer->pos = 0;
    if (sip_msg_decode(&msg, buffer) != 0) msg = nullptr;
  }
  if (msg) {
    const std::string method = text(msg->cseq.met);
    const std::string key = method + " " + text(msg->callid) + " " + std::to_string(msg->cseq.num);
    if (sent && msg->req && tracked(method) && keys.insert(key).second) silences.insert(key);
    if (!sent && !msg->req) silences.erase(key);
    if (!sent && !msg->req && msg->scode >= 200) keys.erase(key);
  }
  mem_deref(msg);
  mem_deref(buffer);
}

bool UnansweredRequests::awaiting(std::initializer_list<const char*> methods) const { return anyOf(keys, methods); }

bool UnansweredRequests::unheard(std::initializer_list<const char*> methods) const {
  return anyOf(silences, methods);
}

}  // namespace qav
