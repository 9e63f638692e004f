#include "fleet/fleet_command_line.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace qav::fleet {

namespace {

struct Bounds {
  std::uint32_t low;
  std::uint32_t high;
};

std::uint32_t boundedNumber(const std::string& option, const std::string& text, Bounds bounds) {
  const bool digits = !text.empty() && text.size() <= 9 &&
                      text.find_first_not_of("0123456789") == std::string::npos;
  const unsigned long value = digits ? std::stoul(text) : 0;
  if (!digits || value < bounds.low || value > bounds.high)
    throw std::runtime_error("--" + option + " muss eine Zahl von " + std::to_string(bounds.low) +
                             " bis " + std::to_string(bounds.high) + " sein: " + text);
  return static_cast<std::uint32_t>(value);
}

// Applies one of the fleet's options that take a value; false for others.
bool applyFleetOption(const std::string& name, const std::string& value, FleetOptions& options) {
  if (name == "parallel") {
    options.parallel = boundedNumber(name, value, {1, 100});
  } else if (name == "call-interval") {
    options.callInterval = std::chrono::milliseconds(boundedNumber(name, value, {0, 3600000}));
  } else if (name == "retry-rounds") {
    options.retryRounds = boundedNumber(name, value, {0, 20});
  } else if (name == "retry-after") {
    options.retryAfter = std::chrono::seconds(boundedNumber(name, value, {0, 86400}));
  } else if (name == "db") {
    if (value.empty()) throw std::runtime_error("--db braucht einen Dateinamen");
    options.dbPath = value;
  } else {
    return false;
  }
  return true;
}

bool applyFleetFlag(std::string_view argument, FleetOptions& options) {
  if (argument == "--resume") {
    options.resume = true;
  } else if (argument == "--dry-run") {
    options.dryRun = true;
  } else if (argument == "--json") {
    options.json = true;
  } else {
    return false;
  }
  return true;
}

bool isCliFlag(std::string_view argument) {
  return argument == "--ice" || argument == "--no-ice" || argument == "--version";
}

bool isFleetValueOption(const std::string& name) {
  return name == "parallel" || name == "call-interval" || name == "retry-rounds" ||
         name == "retry-after" || name == "db";
}

// Shell-like, so that the journal shows a command a technician can repeat.
std::string shown(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n'\"\\$`;&|<>*?()") == std::string::npos)
    return argument;
  std::string text = "'";
  for (char c : argument) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return text + "'";
}

class RunArguments {
 public:
  void add(const std::string& argument) { addShown(shown(argument)); }
  // qav-cli's arguments go to its parser unchanged.
  void addCli(const std::string& argument) {
    cli_.push_back(argument);
    add(argument);
  }
  // The value alone is masked: "--sip-password=***" or "***".
  void addCliSecret(const std::string& argument) {
    cli_.push_back(argument);
    const std::size_t equals = argument.find('=');
    addShown(equals == std::string::npos ? "***" : shown(argument.substr(0, equals + 1)) + "***");
  }
  const std::string& text() const { return text_; }
  CommandLine parseCli() const {
    std::vector<const char*> argv{"qav-fleet"};
    for (const std::string& argument : cli_) argv.push_back(argument.c_str());
    return parseCommandLine(static_cast<int>(argv.size()), argv.data());
  }

 private:
  void addShown(const std::string& text) {
    if (!text_.empty()) text_ += ' ';
    text_ += text;
  }

  std::vector<std::string> cli_;
  std::string text_;
};

FleetCommandLine parseRun(const std::vector<std::string>& args) {
  FleetCommandLine result;
  result.command = FleetCommand::Run;
  RunArguments run;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& argument = args[i];
    if (applyFleetFlag(argument, result.options)) {
      run.add(argument);
      continue;
    }
    if (!argument.starts_with("--")) {
      if (!result.listPath.empty())
        throw std::runtime_error("Nur eine Liste je Lauf: " + result.listPath + " und " + argument);
      result.listPath = argument;
      run.add(argument);
      continue;
    }
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const bool secret = name == "sip-password";
    if (isFleetValueOption(name)) {
      std::string value;
      if (equals != std::string::npos) {
        value = argument.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        throw std::runtime_error("Wert fehlt für --" + name);
      }
      applyFleetOption(name, value, result.options);
      run.add("--" + name);
      run.add(value);
    } else if (equals != std::string::npos || knownOptionKeys.count(name) == 0) {
      // "--key=value" or a flag of qav-cli (--ice); an unknown word is
      // refused here, before its value could pass for the list.
      if (!isCliFlag(argument) && equals == std::string::npos)
        throw std::runtime_error("Unbekannte Option: " + argument);
      if (secret) {
        run.addCliSecret(argument);
      } else {
        run.addCli(argument);
      }
    } else {
      // As qav-cli does, the next argument is the value even when it looks
      // like an option; a missing one is reported by its parser.
      run.addCli(argument);
      if (i + 1 < args.size()) {
        if (secret) {
          run.addCliSecret(args[++i]);
        } else {
          run.addCli(args[++i]);
        }
      }
    }
  }
  result.common = run.parseCli();
  result.shownArguments = run.text();
  if (result.common.version) result.command = FleetCommand::Version;
  if (result.listPath.empty()) throw std::runtime_error("Liste fehlt: qav-fleet run LISTE [Optionen]");
  return result;
}

std::optional<FleetCommand> commandNamed(std::string_view word) {
  if (word == "run") return FleetCommand::Run;
  if (word == "report") return FleetCommand::Report;
  if (word == "history") return FleetCommand::History;
  if (word == "-h" || word == "--help") return FleetCommand::Help;
  if (word == "--version") return FleetCommand::Version;
  return std::nullopt;
}

}  // namespace

FleetCommandLine parseFleetCommandLine(int argc, const char* const* argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  FleetCommandLine result;
  for (const std::string& argument : args) {
    if (argument == "-h" || argument == "--help") return result;
  }
  if (args.empty()) throw std::runtime_error("Befehl fehlt: run, report oder history");
  const std::optional<FleetCommand> command = commandNamed(args.front());
  if (!command) throw std::runtime_error("Unbekannter Befehl: " + args.front());
  result.command = *command;
  if (result.command == FleetCommand::Run)
    return parseRun(std::vector<std::string>(args.begin() + 1, args.end()));
  if (result.command == FleetCommand::Version && args.size() > 1)
    throw std::runtime_error("Unbekanntes Argument: " + args[1]);
  result.arguments.assign(args.begin() + 1, args.end());
  return result;
}

std::string defaultDatabasePath(const std::string& listPath) {
  return (std::filesystem::path(listPath).parent_path() / "qav-fleet.db").string();
}

const std::string& fleetHelpText() {
  static const std::string text =
      "qav-fleet 0.1.2 - eine Liste von QAV-Anlagen in einem Lauf programmieren\n"
      "\n"
      "Aufruf:\n"
      "  qav-fleet run LISTE [Optionen] [qav-cli-Optionen ...]\n"
      "  qav-fleet report [LAUF] [--db DATEI] [--csv DATEI] [--json]\n"
      "  qav-fleet history NUMMER|ID [--db DATEI] [--json]\n"
      "  qav-fleet --help | --version\n"
      "\n"
      "Optionen von run:\n"
      "  --parallel N            Höchstens N Anrufe gleichzeitig (1-100, Standard 1)\n"
      "  --call-interval MS      Abstand zweier Anrufbeginne (Standard 1000 ms)\n"
      "  --retry-rounds N        Wiederholungsrunden für besetzte oder stumme Anlagen\n"
      "                          (0-20, Standard 2)\n"
      "  --retry-after SEKUNDEN  Abstand der Wiederholungsrunden (Standard 300 s)\n"
      "  --db DATEI              Journal (Standard: qav-fleet.db neben der Liste)\n"
      "  --resume                Den unterbrochenen Lauf dieser Liste fortsetzen\n"
      "  --dry-run               Liste prüfen und jeden Befehlsplan zeigen, nicht anrufen\n"
      "  --json                  Maschinenlesbare JSON-Zeilen\n"
      "\n"
      "Alle anderen Optionen sind die von qav-cli (z.B. --actions clock,\n"
      "--sip-server HOST, --config DATEI) und gelten für jede Anlage der Liste.\n"
      "Priorität: Wert der Zeile > Kommandozeile > Umgebungsvariablen >\n"
      "Konfigurationsdatei > Standards.\n"
      "\n"
      "Liste: CSV mit ; oder , als Trennzeichen, UTF-8; Kopfzeile mit Schlüsseln\n"
      "von qav-cli (target ist Pflicht), dazu die freien Spalten id und bemerkung.\n"
      "\n"
      "Exit-Status: 0 alle Anlagen erledigt, 4 einige fehlgeschlagen,\n"
      "2 ungültige Eingabe (kein Anruf), 3 andere Fehler oder Lauf unterbrochen.\n";
  return text;
}

}  // namespace qav::fleet
