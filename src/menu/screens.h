// The screens of the menu: numbered choices on plain lines, left with "0"
// or "<" (a step back); Ctrl-C returns to the main menu, end of input ends.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "menu/menu_session.h"

namespace qav::menu {

// How a step of the guided programming was left.
enum class StepEnd { Done, Back };

void mainMenu(MenuSession& session);
// Number, cabin and PIN, the action checklist, the SIP account if it is
// incomplete, the plan preview, and on request the run; "<" at any step
// goes back to the one before.
void guidedProgramming(MenuSession& session);
// doneLabel names what "0" does: "Zurück" from the main menu, "Weiter" in
// the guided programming.
StepEnd sipAccountScreen(MenuSession& session, const std::string& doneLabel = "Zurück");
void furtherSettingsScreen(MenuSession& session);
StepEnd actionChecklist(MenuSession& session);
// Before a real call: asks for what qav-cli requires of the SIP account
// until it is complete; false when the technician went back instead.
bool accountReadyForCall(MenuSession& session);
// Lists the plan by qav-cli's dry run; returns whether it was valid.
bool planPreview(MenuSession& session);
// The dry-run check with only its verdict: errors or one confirmation line.
bool checkSettings(MenuSession& session);
void runProgramming(MenuSession& session);
void saveScreen(MenuSession& session);
void loadScreen(MenuSession& session);

// Numbered list of fields with their values; a number edits that field.
StepEnd fieldListScreen(MenuSession& session, const std::string& title,
                        const std::vector<std::string>& keys,
                        const std::string& doneLabel = "Zurück");

// A number from 0 to count typed as the answer, or nothing.
std::optional<std::size_t> choiceNumber(const std::string& answer, std::size_t count);

}  // namespace qav::menu
