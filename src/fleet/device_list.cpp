#include "fleet/device_list.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <map>
#include <set>
#include <utility>

#include "settings/command_line.h"
#include "settings/setting_values.h"
#include "settings/text_util.h"
#include "settings/validation.h"

namespace qav::fleet {

namespace {

enum class ColumnKind { Setting, Id, Remark, Ignored };

struct Column {
  std::string key;
  ColumnKind kind = ColumnKind::Ignored;
};

// Keys that set up the run as a whole: given once to qav-fleet, never per
// lift (json and dry-run are the fleet's own, and the child's colour is
// irrelevant since it reports in JSON).
const std::set<std::string> runKeys{"config", "color", "json", "dry-run"};

bool isLiftKey(const std::string& key) {
  return runKeys.count(key) == 0 && (knownOptionKeys.count(key) != 0 || key == "sip-ice");
}

std::string inQuotes(const std::string& text) { return "\u201e" + text + "\u201c"; }

ColumnKind classify(const std::string& key, std::size_t position, std::size_t line,
                    std::vector<LineFinding>& findings) {
  if (key.empty()) {
    findings.push_back({line, "Spalte " + std::to_string(position) + " der Kopfzeile hat keinen Namen."});
    return ColumnKind::Ignored;
  }
  if (key == idColumn) return ColumnKind::Id;
  if (key == remarkColumn) return ColumnKind::Remark;
  if (isLiftKey(key)) return ColumnKind::Setting;
  if (runKeys.count(key) != 0)
    findings.push_back({line, "Spalte " + inQuotes(key) +
                                  " gilt für den ganzen Lauf; als Option von qav-fleet angeben."});
  else
    findings.push_back({line, "Unbekannte Spalte " + inQuotes(key) +
                                  ": kein Einstellungsschlüssel von qav-cli, nicht id oder bemerkung."});
  return ColumnKind::Ignored;
}

std::vector<Column> readHeader(const CsvRow& header, std::vector<LineFinding>& findings) {
  std::vector<Column> columns;
  std::set<std::string> seen;
  for (const std::string& field : header.fields) {
    Column column{lowerAscii(trimBlanks(field))};
    if (!column.key.empty() && !seen.insert(column.key).second)
      findings.push_back({header.line, "Spalte " + inQuotes(column.key) + " steht zweimal in der Kopfzeile."});
    else
      column.kind = classify(column.key, columns.size() + 1, header.line, findings);
    columns.push_back(std::move(column));
  }
  if (seen.count("target") == 0)
    findings.push_back({header.line, "Spalte " + inQuotes("target") + " fehlt in der Kopfzeile."});
  return columns;
}

bool hasLineBreak(const std::string& value) { return value.find_first_of("\r\n") != std::string::npos; }

// On a value that cannot be converted each value is applied alone, so that
// every bad one of the row is named, not only the first, and the good ones
// are all in place for the validation that follows.
void applyValues(Settings& settings, const SettingMap& values, std::size_t line,
                 std::vector<LineFinding>& findings) {
  try {
    applySettingMap(settings, values);
    return;
  } catch (const std::exception&) {
  }
  for (const auto& value : values) {
    try {
      applySettingMap(settings, SettingMap{value});
    } catch (const std::exception& error) {
      findings.push_back({line, error.what()});
    }
  }
}

// Reads the row's columns into the lift; false when a value cannot be used.
// A line break would end the line of the child's configuration file and
// start another key there, so only the remark may hold one.
bool readCells(const CsvRow& row, const std::vector<Column>& columns, FleetLift& lift,
               std::vector<LineFinding>& findings) {
  bool usable = true;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const Column& column = columns[i];
    const std::string& cell = row.fields[i];
    if (column.kind == ColumnKind::Ignored || column.kind == ColumnKind::Remark) {
      if (column.kind == ColumnKind::Remark) lift.remark = cell;
      continue;
    }
    if (hasLineBreak(cell)) {
      findings.push_back({row.line, "Wert der Spalte " + inQuotes(column.key) + " enthält einen Zeilenumbruch."});
      usable = false;
    } else if (column.kind == ColumnKind::Id) {
      lift.id = cell;
    } else if (!cell.empty()) {
      lift.values[column.key] = cell;
    }
  }
  return usable;
}

// Two rows for the same device would program it twice in one run; the id
// names a lift in the report and its history, so it must be unique too.
class Duplicates {
 public:
  void check(const FleetLift& lift, std::vector<LineFinding>& findings) {
    const DeviceSettings& device = lift.settings.device;
    if (!device.target.empty()) {
      const auto [at, added] = devices_.emplace(std::make_pair(device.target, device.cabin), lift.line);
      if (!added)
        findings.push_back({lift.line, "Ziel " + device.target + " Kabine " + std::to_string(device.cabin) +
                                           " steht schon in Zeile " + std::to_string(at->second) + "."});
    }
    if (!lift.id.empty()) {
      const auto [at, added] = ids_.emplace(lift.id, lift.line);
      if (!added)
        findings.push_back({lift.line, "id " + inQuotes(lift.id) + " steht schon in Zeile " +
                                           std::to_string(at->second) + "."});
    }
    checkFile(lift.settings.reportPath, lift.line, findings);
    checkFile(lift.settings.recordAudioPath, lift.line, findings);
  }

 private:
  // Calls run side by side: two of them writing one report or recording
  // would overwrite each other.
  void checkFile(const std::string& path, std::size_t line, std::vector<LineFinding>& findings) {
    if (path.empty()) return;
    const auto [at, added] = files_.emplace(std::filesystem::path(path).lexically_normal().string(), line);
    if (!added)
      findings.push_back({line, "Datei " + inQuotes(path) + " schreibt schon der Anruf aus Zeile " +
                                    std::to_string(at->second) + "; jede Anlage braucht ihre eigene."});
  }

  std::map<std::pair<std::string, std::uint32_t>, std::size_t> devices_;
  std::map<std::string, std::size_t> ids_;
  std::map<std::string, std::size_t> files_;
};

}  // namespace

DeviceList parseDeviceList(const ListFile& file, const std::string& path, const Settings& common,
                           bool callFollows) {
  CsvTable table = parseCsv(file.text);
  DeviceList list;
  list.findings = std::move(table.findings);
  if (table.rows.empty()) {
    if (list.findings.empty()) list.findings.push_back({0, "Liste ist leer: " + path});
    return list;
  }
  const std::vector<Column> columns = readHeader(table.rows.front(), list.findings);
  const bool holdsPassword = std::any_of(columns.begin(), columns.end(), [](const Column& column) {
    return column.kind == ColumnKind::Setting && column.key == "sip-password";
  });
  if (holdsPassword && !file.ownerOnly)
    list.findings.push_back(
        {0, "Liste mit SIP-Passwort darf keine Gruppen- oder Fremdrechte besitzen: " + path});

  if (!common.reportPath.empty() || !common.recordAudioPath.empty())
    list.findings.push_back({0, "report und record-audio gelten für einen Anruf: als Spalte der Liste "
                                "angeben, mit einer eigenen Datei je Anlage."});
  Duplicates duplicates;
  for (auto row = table.rows.begin() + 1; row != table.rows.end(); ++row) {
    if (row->fields.size() != columns.size()) {
      list.findings.push_back({row->line, std::to_string(row->fields.size()) + " Felder, die Kopfzeile hat " +
                                              std::to_string(columns.size()) + "."});
      continue;
    }
    FleetLift lift;
    lift.line = row->line;
    if (!readCells(*row, columns, lift, list.findings)) continue;
    lift.settings = common;
    applyValues(lift.settings, lift.values, lift.line, list.findings);
    for (std::string& problem : validateSettings(lift.settings, callFollows))
      list.findings.push_back({lift.line, std::move(problem)});
    duplicates.check(lift, list.findings);
    list.lifts.push_back(std::move(lift));
  }
  if (list.lifts.empty() && list.findings.empty())
    list.findings.push_back({0, "Liste enthält keine Anlage, nur die Kopfzeile: " + path});
  std::stable_sort(list.findings.begin(), list.findings.end(),
                   [](const LineFinding& a, const LineFinding& b) { return a.line < b.line; });
  return list;
}

DeviceList readDeviceList(const std::string& path, const Settings& common, bool callFollows) {
  ListFile file;
  try {
    file = readListFile(path);
  } catch (const std::exception& error) {
    return DeviceList{{}, {{0, error.what()}}};
  }
  return parseDeviceList(file, path, common, callFollows);
}

std::string describe(const LineFinding& finding) {
  if (finding.line == 0) return finding.message;
  return "Zeile " + std::to_string(finding.line) + ": " + finding.message;
}

}  // namespace qav::fleet
