// What the registration and the call report to the session, from libre's
// worker thread: registration results, call states, media, INFO answers.
#pragma once

#include <optional>
#include <string>

#include "telephony/audio_stream.h"

// Included only by libre_session.cpp: like LibreSession, this lives in that
// file's unnamed namespace.
namespace qav {
namespace {

class SessionEvents {
 public:
  virtual void registrationEvent(int status, bool active) = 0;
  virtual void callEvent(bool confirmed, bool disconnected, std::optional<int> status) = 0;
  virtual void mediaEvent(AudioStream* stream, bool connected) = 0;
  virtual void infoResponse(int status, const std::string& reason) = 0;

 protected:
  ~SessionEvents() = default;
};

}  // namespace
}  // namespace qav
