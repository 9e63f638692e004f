#include "telephony/sip_credentials.h"

#include <re.h>

#include <new>

#include "telephony/sip_addressing.h"

namespace qav {
namespace {

struct Credentials {
  std::string realm;
  std::string user;
  std::string password;
};

void destroyCredentials(void* data) { static_cast<Credentials*>(data)->~Credentials(); }

}  // namespace

void* makeSipCredentials(const std::string& realm, const std::string& user, const std::string& password) {
  void* memory = mem_zalloc(sizeof(Credentials), destroyCredentials);
  if (!memory) throw std::bad_alloc();
  return new (memory) Credentials{realm, user, password};
}

int answerSipChallenge(char** user, char** password, const char* realm, void* credentials) {
  const auto* stored = static_cast<const Credentials*>(credentials);
  if (!realmMatches(stored->realm, realm ? realm : "")) return EAUTH;
  int err = str_dup(user, stored->user.c_str());
  if (!err) err = str_dup(password, stored->password.c_str());
  return err;
}

}  // namespace qav
