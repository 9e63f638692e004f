#include "report/failure_explanations.h"

#include <regex>

namespace qav {

namespace {

using fleet::LiftOutcome;
constexpr LiftOutcome retry = LiftOutcome::RetryLater;
constexpr LiftOutcome giveUp = LiftOutcome::GiveUp;
constexpr LiftOutcome stopped = LiftOutcome::Interrupted;

// A refused PIN or cabin is final: repeating it risks locking the device.
// Busy lines, silence and dropped calls pass; wrong accounts, numbers and
// values do not.
const std::vector<FailureExplanation> rows = {
    // Registration at the PBX.
    {R"(SIP-Registrierung fehlgeschlagen \(SIP 40[137]\)\.)", "", giveUp,
     "Benutzername oder Passwort falsch"},
    {R"(SIP-Registrierung fehlgeschlagen \(SIP 404\)\.)", "", giveUp,
     "SIP-Benutzer dem Server unbekannt"},
    {R"(SIP-Registrierung fehlgeschlagen \(SIP \d+\)\.)", "", retry,
     "SIP-Server lehnt die Anmeldung ab, erneut versuchen"},
    {R"(Zeitüberschreitung bei der SIP-Registrierung\.)", "", retry, "SIP-Server antwortet nicht"},
    {R"(SIP-Registrierung abgebrochen\.)", "", stopped, "unterbrochen"},
    {R"(PJSIP: .*)", "", retry, "SIP-Anmeldung gestört"},
    // The call.
    {R"(Anruf fehlgeschlagen \(SIP 40[17]\)\.)", "", giveUp, "Benutzername oder Passwort falsch"},
    {R"(Anruf fehlgeschlagen \(SIP 403\)\.)", "", giveUp,
     "Anruf nicht erlaubt, Rechte des SIP-Kontos prüfen"},
    {R"(Anruf fehlgeschlagen \(SIP (404|484|604)\)\.)", "", giveUp, "Nummer nicht erreichbar"},
    {R"(Anruf fehlgeschlagen \(SIP (486|600)\)\.)", "", retry, "Besetzt"},
    {R"(Anruf fehlgeschlagen \(SIP 480\)\.)", "", retry, "QAV zurzeit nicht erreichbar"},
    {R"(Anruf fehlgeschlagen \(SIP 408\)\.)", "", retry, "Keine Antwort"},
    {R"(Anruf fehlgeschlagen \(SIP (488|415|606)\)\.)", "", giveUp,
     "Kein gemeinsamer Sprachcodec, G.711 prüfen"},
    {R"(Anruf fehlgeschlagen \(SIP 5\d\d\)\.)", "", retry, "Telefonanlage gestört oder überlastet"},
    {R"(Anruf fehlgeschlagen \(SIP \d+\)\.)", "", retry, "Anruf abgelehnt, erneut versuchen"},
    {R"(Zeitüberschreitung beim Anrufaufbau\.)", "", retry, "Keine Antwort"},
    {R"(PJSIP-Anruf: .*)", "", retry, "Anrufaufbau gestört"},
    // The dialogue with the device.
    {R"(Kein QAV-Startsignal innerhalb des Zeitlimits erkannt\.)", "", retry, "Kein QAV-Startsignal"},
    {R"(Anruf wurde vor dem QAV-Startsignal beendet\.)", "", retry,
     "Verbindung vor dem QAV-Startsignal beendet"},
    {R"(QAV/Telefonnetz hat die Verbindung beendet\.)", "", retry, "Verbindung beendet"},
    {R"(Einzelgerätebetrieb erkannt; aktuelle Kabinennummer muss 0 sein\.)", "", giveUp,
     "Kabine prüfen: Einzelgerät, Kabine 0"},
    {R"(Mehrgerätebetrieb erkannt; aktuelle Kabinennummer 1 bis 9 erforderlich\.)", "", giveUp,
     "Kabine prüfen: Mehrgerätebetrieb, Kabine 1 bis 9"},
    {R"(Nach \d+ Wiederholungen fehlgeschlagen: Ungültige Eingabe laut QAV\.)", "auth", giveUp,
     "PIN prüfen"},
    {R"(Nach \d+ Wiederholungen fehlgeschlagen: Ungültige Eingabe laut QAV\.)", "qav", giveUp,
     "Kabine prüfen"},
    {R"(Nach \d+ Wiederholungen fehlgeschlagen: .*)", "", retry, "QAV antwortet nicht wie erwartet"},
    {R"(.+ nach \d+ Wiederholungen fehlgeschlagen: Das QAV meldet einen ungültigen Parameter\.)", "",
     giveUp, "Wert vom QAV abgelehnt, Einstellung prüfen"},
    {R"(.+ nach \d+ Wiederholungen fehlgeschlagen: Keine QAV-Rückmeldung innerhalb des Zeitlimits erkannt\.)",
     "", retry, "Keine Rückmeldung des QAV"},
    {R"(.+ nach \d+ Wiederholungen fehlgeschlagen: .*)", "", retry, "Falsche Rückmeldung des QAV"},
    {R"(SIP-Verbindung wurde beendet\.)", "", retry, "Verbindung beendet"},
    {R"(Das QAV hat die Verbindung beendet\.)", "", retry, "Verbindung vom QAV beendet"},
    {R"((DTMF .*|Inband-DTMF-.*|Ungültiges DTMF-Zeichen: .*))", "", retry,
     "Tonwahl nicht übertragen, DTMF-Verfahren prüfen"},
    // Before the call: files and settings of this lift.
    {R"(CA-Datei .*)", "", giveUp, "CA-Datei prüfen"},
    {R"(Ungültiger STUN-Server: .*)", "", giveUp, "STUN-Server prüfen"},
    {R"(Aufnahmedatei kann nicht geschrieben werden: .*)", "", giveUp, "Aufnahmedatei prüfen"},
    {R"(Berichtsdatei kann nicht geschrieben werden: .*)", "", giveUp, "Berichtsdatei prüfen"},
    {R"(qav-cli konnte nicht gestartet werden: .*)", "", giveUp, "qav-cli nicht ausführbar"},
    {R"(Abbruch durch .*)", "", stopped, "unterbrochen"},
};

struct CompiledRow {
  std::regex pattern;
  const FailureExplanation* row;
};

const std::vector<CompiledRow>& compiledRows() {
  static const std::vector<CompiledRow> compiled = [] {
    std::vector<CompiledRow> list;
    for (const FailureExplanation& row : rows)
      list.push_back({std::regex(row.pattern, std::regex::ECMAScript), &row});
    return list;
  }();
  return compiled;
}

}  // namespace

const std::vector<FailureExplanation>& failureExplanations() { return rows; }

ExplainedFailure explainFailure(const std::string& errorLine, const std::string& failedStep) {
  for (const CompiledRow& compiled : compiledRows()) {
    const std::string step = compiled.row->step;
    if (!step.empty() && step != failedStep) continue;
    if (std::regex_match(errorLine, compiled.pattern))
      return {compiled.row->outcome, compiled.row->explanation, true};
  }
  return {retry, "Unbekannte Fehlermeldung, in den Wiederholungsrunden erneut versucht", false};
}

ExplainedFailure explainRun(std::optional<int> exitStatus, const std::string& errorLine,
                            const std::string& failedStep) {
  if (!exitStatus) return {stopped, "unterbrochen", true};
  if (*exitStatus == 0) return {LiftOutcome::Done, "erledigt", true};
  if (*exitStatus == 2) return {giveUp, "Einstellungen ungültig", true};
  return explainFailure(errorLine, failedStep);
}

}  // namespace qav
