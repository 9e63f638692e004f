// The commands that read the journal, also while a run writes it:
//   qav-fleet report [LAUF] [--db DATEI] [--csv DATEI] [--json]
//   qav-fleet history NUMMER|ID [--db DATEI] [--json]
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qav::fleet {

// The journal these commands read unless --db names another: in the
// working directory, where a run started in the list's directory keeps it.
inline constexpr const char* defaultJournalName = "qav-fleet.db";

// `name` is "report" or "history", `args` what follows it. Writes to
// standard output and error; returns the exit status: 0, 2 for invalid
// options, 3 when the journal cannot be read or lacks the run or lift.
int journalCommand(const std::string& name, const std::vector<std::string>& args);
int journalCommand(const std::string& name, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qav::fleet
