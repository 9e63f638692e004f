// Digest credentials handed to libre's requests: the auth handler answers
// a challenge of the configured realm, or of any realm for "*".
#pragma once

#include <string>

namespace qav {

// A reference-counted libre object, so that requests still in flight after
// the account is gone (a BYE, an unregistering REGISTER) keep their
// credentials. Pass it as the auth handler argument with aref true, and
// release the creator's reference with mem_deref.
void* makeSipCredentials(const std::string& realm, const std::string& user, const std::string& password);

// The sip_auth_h of libre: EAUTH for a realm the credentials are not for,
// which makes libre report the challenge as the final answer.
int answerSipChallenge(char** user, char** password, const char* realm, void* credentials);

}  // namespace qav
