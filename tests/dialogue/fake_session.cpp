#include "fake_session.h"

#include <stdexcept>

namespace qav {

std::chrono::steady_clock::time_point FakeClock::steadyNow() {
  return std::chrono::steady_clock::time_point(std::chrono::milliseconds(elapsed));
}

void FakeClock::sleepFor(std::chrono::milliseconds duration) {
  sleeps.push_back(duration.count());
  elapsed += duration.count();
}

FarEnd tone(Signal signal, std::int64_t afterMs) {
  return {FarEnd::Kind::Tone, signal, afterMs};
}
FarEnd silence() { return {FarEnd::Kind::Silence}; }
FarEnd hangUp(std::int64_t afterMs) { return {FarEnd::Kind::HangUp, {}, afterMs}; }
FarEnd sendFails() { return {FarEnd::Kind::SendFails}; }
FarEnd dropOnSend() { return {FarEnd::Kind::DropOnSend}; }

void FakeSession::onDigits(const std::string& digits, std::vector<FarEnd> script) {
  scripts[digits].push_back(std::move(script));
}

void FakeSession::placeCall(const std::string& target) {
  dialled = target;
  connected = true;
  pending.assign(greeting.begin(), greeting.end());
}

// Like the real session: an empty string is no transmission; otherwise a
// dead line refuses, and what was queued before the send is gone.
void FakeSession::sendDigits(const std::string& digits) {
  std::deque<FarEnd> script;
  auto found = scripts.find(digits);
  if (found != scripts.end() && !found->second.empty()) {
    script.assign(found->second.front().begin(), found->second.front().end());
    found->second.pop_front();
  }
  if (!script.empty() && script.front().kind == FarEnd::Kind::DropOnSend) {
    connected = false;
    script.pop_front();
  }
  if (!digits.empty() && !connected)
    throw std::runtime_error("DTMF kann ohne aktive Verbindung nicht gesendet werden.");
  if (!script.empty() && script.front().kind == FarEnd::Kind::SendFails) {
    pending.clear();
    throw std::runtime_error("DTMF konnte nicht gesendet werden: Zeitüberschreitung");
  }
  sent.push_back(digits);
  pending = std::move(script);
}

std::optional<Signal> FakeSession::waitSignal(std::int64_t timeoutMs) {
  waits.push_back(timeoutMs);
  if (pending.empty()) {
    if (connected) clock.advance(timeoutMs);
    return std::nullopt;
  }
  FarEnd& next = pending.front();
  if (next.kind == FarEnd::Kind::Silence || next.afterMs > timeoutMs) {
    next.afterMs -= timeoutMs;
    if (next.kind == FarEnd::Kind::Silence) pending.pop_front();
    clock.advance(timeoutMs);
    return std::nullopt;
  }
  clock.advance(next.afterMs);
  const FarEnd happened = next;
  pending.pop_front();
  if (happened.kind == FarEnd::Kind::HangUp) {
    connected = false;
    return std::nullopt;
  }
  return happened.signal;
}

}  // namespace qav
