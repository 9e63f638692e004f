// The screens of the menu. Each shows numbered choices on plain lines and
// returns when the technician goes back; end of input ends all of them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "menu/menu_session.h"

namespace qav::menu {

void mainMenu(MenuSession& session);
// Number, cabin and PIN, the action checklist, the SIP account if it is
// incomplete, the plan preview, and on request the run.
void guidedProgramming(MenuSession& session);
void sipAccountScreen(MenuSession& session);
void furtherSettingsScreen(MenuSession& session);
void actionChecklist(MenuSession& session);
// Lists the plan by qav-cli's dry run; returns whether it was valid.
bool planPreview(MenuSession& session);
// The dry-run check with only its verdict: errors or one confirmation line.
bool checkSettings(MenuSession& session);
void runProgramming(MenuSession& session);
void saveScreen(MenuSession& session);
void loadScreen(MenuSession& session);

// Numbered list of fields with their values; a number edits that field.
void fieldListScreen(MenuSession& session, const std::string& title,
                     const std::vector<std::string>& keys);

// A number from 0 to count typed as the answer, or nothing.
std::optional<std::size_t> choiceNumber(const std::string& answer, std::size_t count);

}  // namespace qav::menu
