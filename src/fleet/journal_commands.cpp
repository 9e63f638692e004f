#include "fleet/journal_commands.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>

#include "fleet/fleet_journal.h"
#include "fleet/lift_history.h"
#include "fleet/run_report.h"

namespace qav::fleet {

namespace {

constexpr int invalidInput = 2;
constexpr int otherError = 3;

// An invalid command line, as opposed to a journal that cannot serve it.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Options {
  std::string db = defaultJournalName;
  std::optional<std::string> csv;
  bool json = false;
  std::vector<std::string> positional;
};

Options parsed(const std::string& command, const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& argument = args[i];
    if (argument == "--json") {
      options.json = true;
      continue;
    }
    if (argument.size() < 2 || argument.compare(0, 2, "--") != 0) {
      options.positional.push_back(argument);
      continue;
    }
    const std::size_t equals = argument.find('=');
    const std::string key = argument.substr(0, equals);
    const bool known = key == "--db" || (key == "--csv" && command == "report");
    if (!known) throw UsageError("Unbekannte Option für " + command + ": " + key);
    std::string value;
    if (equals != std::string::npos) {
      value = argument.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      throw UsageError("Wert fehlt für " + key);
    }
    if (value.empty()) throw UsageError("Leerer Wert für " + key);
    (key == "--db" ? options.db : options.csv.emplace()) = value;
  }
  return options;
}

std::int64_t runNumber(const std::string& text) {
  const bool digits = !text.empty() && text.size() <= 18 && text.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || std::stoll(text) == 0) throw UsageError("Der Lauf ist eine Nummer ab 1, nicht „" + text + "“.");
  return std::stoll(text);
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (file) file << text;
  if (file) file.close();
  if (!file) throw std::runtime_error("Datei kann nicht geschrieben werden: " + path + ": " + std::strerror(errno));
}

int report(const Options& options, std::ostream& out) {
  if (options.positional.size() > 1) throw UsageError("report nimmt höchstens einen Lauf: " + options.positional[1]);
  const std::optional<std::int64_t> wanted =
      options.positional.empty() ? std::nullopt : std::optional(runNumber(options.positional.front()));
  const FleetJournal journal(options.db, JournalAccess::Read);
  const std::optional<std::int64_t> run = wanted ? wanted : journal.lastRun();
  if (!run) throw std::runtime_error("Das Journal " + journal.path() + " enthält noch keinen Lauf.");
  const std::optional<RunRecord> record = journal.readRun(*run);
  if (!record)
    throw std::runtime_error("Lauf " + std::to_string(*run) + " steht nicht im Journal " + journal.path() + ".");

  if (options.csv) {
    const std::string csv = reportCsv(*record);
    if (*options.csv == "-") {
      out << csv;
    } else {
      writeFile(*options.csv, csv);
    }
  }
  if (options.json) {
    out << reportJson(*record).dump() << "\n";
  } else if (options.csv && *options.csv != "-") {
    out << "Bericht von Lauf " << *run << " geschrieben: " << *options.csv << "\n";
  } else if (!options.csv) {
    out << reportText(*record);
  }
  return 0;
}

int history(const Options& options, std::ostream& out) {
  if (options.positional.size() != 1)
    throw UsageError(options.positional.empty() ? "history braucht die Nummer oder ID einer Anlage."
                                                : "history nimmt nur eine Anlage: " + options.positional[1]);
  const std::string& lift = options.positional.front();
  const FleetJournal journal(options.db, JournalAccess::Read);
  const std::vector<LiftInRun> entries = journal.liftHistory(lift);
  if (entries.empty())
    throw std::runtime_error("Anlage „" + lift + "“ steht in keinem Lauf des Journals " + journal.path() + ".");
  if (options.json) {
    out << historyJson(lift, entries).dump() << "\n";
  } else {
    out << historyText(entries);
  }
  return 0;
}

}  // namespace

int journalCommand(const std::string& name, const std::vector<std::string>& args, std::ostream& out,
                   std::ostream& err) {
  try {
    const Options options = parsed(name, args);
    if (name == "report") return report(options, out);
    if (name == "history") return history(options, out);
    throw UsageError("Unbekannter Befehl: " + name);
  } catch (const UsageError& error) {
    err << "Fehler: " << error.what() << "\n";
    return invalidInput;
  } catch (const std::exception& error) {
    err << "Fehler: " << error.what() << "\n";
    return otherError;
  }
}

int journalCommand(const std::string& name, const std::vector<std::string>& args) {
  return journalCommand(name, args, std::cout, std::cerr);
}

}  // namespace qav::fleet
