// One setting edited at a prompt (Enter keeps, "-" empties, "<" goes back),
// judged by qav-cli's own checks as it is entered and asked for again until
// it passes, so that a value they refuse is never taken.
#pragma once

#include <string>

#include "menu/menu_session.h"

namespace qav::menu {

// The value as the menu shows it: "(leer)" for nothing, ja/nein for ICE,
// and only whether a password is set, never the password.
std::string shownValue(const Settings& settings, const std::string& key);

// The answer that goes a step back, at every prompt of a step.
inline constexpr const char* backWord = "<";

enum class FieldAnswer { Kept, Changed, Back };

// Asks until the typed or kept value passes, saying why one did not and
// what is allowed; Back when "<" left the prompts and nothing was taken.
FieldAnswer askField(MenuSession& session, const std::string& key);

// Returns whether the setting was changed; "<" keeps it.
bool editField(MenuSession& session, const std::string& key);

}  // namespace qav::menu
