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
     "Benutzername oder Passwort falsch",
     "Die Telefonanlage hat die Anmeldung mit diesem SIP-Benutzer und Passwort abgelehnt.",
     "SIP-Benutzer und SIP-Passwort prüfen (wie im SIP-Konto der Telefonanlage angelegt)."},
    {R"(SIP-Registrierung fehlgeschlagen \(SIP 404\)\.)", "", giveUp,
     "SIP-Benutzer dem Server unbekannt",
     "Die Telefonanlage kennt diesen SIP-Benutzer nicht.",
     "SIP-Benutzer/Nebenstelle und SIP-Domäne prüfen."},
    {R"(SIP-Registrierung fehlgeschlagen \(SIP \d+\)\.)", "", retry,
     "SIP-Server lehnt die Anmeldung ab, erneut versuchen",
     "Die Telefonanlage hat die Anmeldung abgelehnt.",
     "Später erneut versuchen; bleibt es dabei, das SIP-Konto an der Anlage prüfen."},
    {R"(Zeitüberschreitung bei der SIP-Registrierung\.)", "", retry, "SIP-Server antwortet nicht",
     "Der SIP-Server hat auf die Anmeldung nicht geantwortet.",
     "SIP-Server, SIP-Port und Transport prüfen und ob das Netz den Server erreicht."},
    {R"(SIP-Registrierung abgebrochen\.)", "", stopped, "unterbrochen",
     "Die Anmeldung wurde abgebrochen, bevor sie fertig war.",
     "Die Programmierung erneut starten."},
    // Wrapped in the registration's prefix by the session.
    {R"((?:PJSIP: )?Ungültiger STUN-Server: .*)", "", giveUp, "STUN-Server prüfen",
     "Der STUN-Server ist nicht auflösbar oder falsch geschrieben.",
     "STUN-Server prüfen oder leeren."},
    {R"(PJSIP: .*)", "", retry, "SIP-Anmeldung gestört",
     "Die SIP-Anmeldung konnte nicht eingerichtet werden.",
     "SIP-Server, Transport und STUN-Server prüfen, dann erneut versuchen."},
    // The call.
    {R"(Anruf fehlgeschlagen \(SIP 40[17]\)\.)", "", giveUp, "Benutzername oder Passwort falsch",
     "Die Telefonanlage verlangt für den Anruf eine Anmeldung, die nicht gelang.",
     "SIP-Benutzer und SIP-Passwort prüfen."},
    {R"(Anruf fehlgeschlagen \(SIP 403\)\.)", "", giveUp,
     "Anruf nicht erlaubt, Rechte des SIP-Kontos prüfen",
     "Die Telefonanlage erlaubt diesem SIP-Konto den Anruf nicht.",
     "Rechte des SIP-Kontos an der Anlage prüfen (z. B. Wahl nach extern)."},
    {R"(Anruf fehlgeschlagen \(SIP (404|484|604)\)\.)", "", giveUp, "Nummer nicht erreichbar",
     "Unter der QAV-Rufnummer ist niemand bekannt.",
     "QAV-Rufnummer prüfen (mit Vorwahl oder Amtsholung, wie die Anlage sie braucht)."},
    {R"(Anruf fehlgeschlagen \(SIP (486|600)\)\.)", "", retry, "Besetzt",
     "Das QAV ist besetzt, es telefoniert gerade.",
     "Einige Minuten warten und erneut anrufen."},
    {R"(Anruf fehlgeschlagen \(SIP 480\)\.)", "", retry, "QAV zurzeit nicht erreichbar",
     "Das QAV ist zurzeit nicht erreichbar (nicht angemeldet oder ohne Leitung).",
     "Anschluss und Stromversorgung des QAV prüfen, dann erneut versuchen."},
    {R"(Anruf fehlgeschlagen \(SIP 408\)\.)", "", retry, "Keine Antwort",
     "Das QAV hat nicht abgenommen.",
     "Prüfen, ob das QAV an der Leitung hängt und selbst abhebt; erneut versuchen."},
    {R"(Anruf fehlgeschlagen \(SIP (488|415|606)\)\.)", "", giveUp,
     "Kein gemeinsamer Sprachcodec, G.711 prüfen",
     "Telefonanlage und qav-cli haben keinen gemeinsamen Sprachcodec gefunden.",
     "An der Anlage G.711 (PCMA/PCMU) für dieses Konto erlauben."},
    {R"(Anruf fehlgeschlagen \(SIP 5\d\d\)\.)", "", retry, "Telefonanlage gestört oder überlastet",
     "Die Telefonanlage meldet eine Störung oder Überlast.",
     "Später erneut versuchen; bleibt es dabei, die Anlage prüfen lassen."},
    {R"(Anruf fehlgeschlagen \(SIP \d+\)\.)", "", retry, "Anruf abgelehnt, erneut versuchen",
     "Die Telefonanlage hat den Anruf abgelehnt.",
     "QAV-Rufnummer prüfen und erneut versuchen."},
    {R"(Zeitüberschreitung beim Anrufaufbau\.)", "", retry, "Keine Antwort",
     "Der Anruf wurde nicht rechtzeitig angenommen.",
     "Prüfen, ob das QAV erreichbar ist und abhebt; erneut versuchen."},
    {R"(PJSIP-Anruf: .*)", "", retry, "Anrufaufbau gestört",
     "Der Anruf konnte nicht aufgebaut werden.",
     "QAV-Rufnummer und Netzverbindung prüfen, dann erneut versuchen."},
    // The dialogue with the device.
    {R"(Kein QAV-Startsignal innerhalb des Zeitlimits erkannt\.)", "", retry, "Kein QAV-Startsignal",
     "Es hat abgehoben, aber das QAV hat seinen Startton nicht gesendet.",
     "Prüfen, ob wirklich das QAV angerufen wurde und die Anlage Töne unverändert durchlässt (G.711)."},
    {R"(Anruf wurde vor dem QAV-Startsignal beendet\.)", "", retry,
     "Verbindung vor dem QAV-Startsignal beendet",
     "Die Verbindung endete, bevor sich das QAV meldete.",
     "Erneut anrufen; bleibt es dabei, Leitung und Rufnummer prüfen."},
    {R"(QAV/Telefonnetz hat die Verbindung beendet\.)", "", retry, "Verbindung beendet",
     "Das QAV oder die Telefonanlage hat aufgelegt.",
     "Erneut anrufen."},
    {R"(Einzelgerätebetrieb erkannt; aktuelle Kabinennummer muss 0 sein\.)", "", giveUp,
     "Kabine prüfen: Einzelgerät, Kabine 0",
     "Das QAV arbeitet als Einzelgerät, die angegebene Kabine passt nicht dazu.",
     "Aktuelle Kabine auf 0 stellen und erneut programmieren."},
    {R"(Mehrgerätebetrieb erkannt; aktuelle Kabinennummer 1 bis 9 erforderlich\.)", "", giveUp,
     "Kabine prüfen: Mehrgerätebetrieb, Kabine 1 bis 9",
     "Mehrere QAV teilen sich die Leitung, es muss eine Kabine gewählt werden.",
     "Aktuelle Kabine (1 bis 9) des gewünschten Geräts eintragen und erneut programmieren."},
    // A failed send ends an attempt like a wrong answer; it reaches the
    // technician wrapped in the attempts' summary.
    {R"((?:(?:.+ n|N)ach \d+ Wiederholungen fehlgeschlagen: )?)"
     R"((?:DTMF .*|Inband-DTMF-.*|Ungültiges DTMF-Zeichen: .*))",
     "", retry,
     "Tonwahl nicht übertragen, DTMF-Verfahren prüfen",
     "Die Tonwahlziffern konnten nicht übertragen werden.",
     "DTMF-Verfahren umstellen (RFC 4733, SIP INFO oder Inband) und erneut versuchen."},
    {R"(Nach \d+ Wiederholungen fehlgeschlagen: Ungültige Eingabe laut QAV\.)", "auth", giveUp,
     "PIN prüfen",
     "Das QAV hat die PIN nicht angenommen.",
     "Aktuelle QAV-PIN prüfen; nicht mehrfach raten, das QAV kann sich sperren."},
    {R"(Nach \d+ Wiederholungen fehlgeschlagen: Ungültige Eingabe laut QAV\.)", "qav", giveUp,
     "Kabine prüfen",
     "Das QAV hat die Kabinenwahl nicht angenommen.",
     "Aktuelle Kabine prüfen und erneut programmieren."},
    {R"(Nach \d+ Wiederholungen fehlgeschlagen: .*)", "", retry, "QAV antwortet nicht wie erwartet",
     "Das QAV hat auch nach den Wiederholungen nicht wie erwartet geantwortet.",
     "Erneut versuchen; bleibt es dabei, DTMF-Verfahren und DTMF-Zeiten prüfen."},
    {R"(.+ nach \d+ Wiederholungen fehlgeschlagen: Das QAV meldet einen ungültigen Parameter\.)", "",
     giveUp, "Wert vom QAV abgelehnt, Einstellung prüfen",
     "Das QAV hat einen der gesendeten Werte abgelehnt.",
     "Den Wert dieser Aktion prüfen und nur diese Aktion erneut programmieren."},
    {R"(.+ nach \d+ Wiederholungen fehlgeschlagen: Keine QAV-Rückmeldung innerhalb des Zeitlimits erkannt\.)",
     "", retry, "Keine Rückmeldung des QAV",
     "Das QAV hat einen Schritt nicht bestätigt.",
     "Erneut versuchen; bleibt es dabei, DTMF-Tonlänge und -Pause erhöhen."},
    {R"(.+ nach \d+ Wiederholungen fehlgeschlagen: .*)", "", retry, "Falsche Rückmeldung des QAV",
     "Das QAV hat einen Schritt anders als erwartet beantwortet.",
     "Erneut versuchen; bleibt es dabei, DTMF-Verfahren und DTMF-Zeiten prüfen."},
    {R"(SIP-Verbindung wurde beendet\.)", "", retry, "Verbindung beendet",
     "Die Verbindung ist während der Programmierung abgebrochen.",
     "Erneut anrufen; was schon bestätigt wurde, ist gespeichert."},
    {R"(Das QAV hat die Verbindung beendet\.)", "", retry, "Verbindung vom QAV beendet",
     "Das QAV hat während der Programmierung aufgelegt.",
     "Erneut anrufen; was schon bestätigt wurde, ist gespeichert."},
    // Before the call: files and settings of this lift.
    {R"(CA-Datei .*)", "", giveUp, "CA-Datei prüfen",
     "Die CA-Datei für TLS fehlt, ist nicht lesbar oder enthält kein Zertifikat.",
     "Pfad und Inhalt der CA-Datei prüfen."},
    {R"(Aufnahmedatei kann nicht geschrieben werden: .*)", "", giveUp, "Aufnahmedatei prüfen",
     "Die Aufnahmedatei kann nicht angelegt werden.",
     "Pfad und Schreibrechte der Aufnahmedatei prüfen."},
    {R"(Berichtsdatei kann nicht geschrieben werden: .*)", "", giveUp, "Berichtsdatei prüfen",
     "Die Berichtsdatei kann nicht angelegt werden.",
     "Pfad und Schreibrechte der Berichtsdatei prüfen."},
    {R"((Konfigurationsdatei|Dateirechte der Konfigurationsdatei) .*)", "", giveUp,
     "Konfigurationsdatei prüfen",
     "qav-cli konnte seine Konfigurationsdatei nicht lesen, oder sie ist für andere lesbar.",
     "Datei und Rechte prüfen; mit SIP-Passwort darf nur der Besitzer sie lesen (chmod 600)."},
    {R"((Unbekannte Option: .*|Unbekannter Einstellungsschlüssel: .*|Unbekanntes Argument: .*|Wert fehlt für .*|Ungültiger (Zahlenwert|Wahrheitswert) für .*|.+:\d+: '=' fehlt))",
     "", giveUp, "Einstellungen ungültig",
     "qav-cli hat eine Option oder einen Wert nicht verstanden.",
     "Die genannte Einstellung prüfen und korrigieren."},
    {R"(Ortszeit konnte nicht bestimmt werden)", "", giveUp, "Uhrzeit des Rechners prüfen",
     "Die Ortszeit des Rechners ließ sich nicht bestimmen.",
     "Systemzeit und Zeitzone (TZ) des Rechners prüfen."},
    {R"((.+ braucht drei Ziffern: .*|Notrufauslöser \d+ gibt es nicht|emergency-numbers braucht vier Einträge, nicht \d+|routine-at muss HH:MM oder auto sein|Unbekannter Wert für .*|Keine Einzelparameter-Aktion: .*))",
     "", giveUp, "Wert einer Aktion prüfen",
     "Ein Wert einer Aktion passt nicht in den Befehlsplan.",
     "Die Werte dieser Aktion prüfen; die Planvorschau zeigt sie."},
    {R"(qav-cli konnte nicht gestartet werden: .*)", "", giveUp, "qav-cli nicht ausführbar",
     "qav-cli ließ sich nicht starten.",
     "Installation von qav-cli prüfen."},
    {R"(Abbruch durch .*)", "", stopped, "unterbrochen",
     "Die Programmierung wurde abgebrochen (Strg-C oder Signal).",
     "Bei Bedarf erneut starten; was schon bestätigt wurde, ist gespeichert."},
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
      return {compiled.row->outcome, compiled.row->explanation, compiled.row->cause,
              compiled.row->nextStep, true};
  }
  return {retry, "Unbekannte Fehlermeldung, in den Wiederholungsrunden erneut versucht",
          "Diese Fehlermeldung ist nicht bekannt.",
          "Die Meldung oben lesen und erneut versuchen; bleibt es dabei, Einstellungen prüfen.",
          false};
}

ExplainedFailure explainRun(std::optional<int> exitStatus, const std::string& errorLine,
                            const std::string& failedStep) {
  if (!exitStatus)
    return {stopped, "unterbrochen", "qav-cli wurde von außen beendet.",
            "Bei Bedarf erneut starten.", true};
  if (*exitStatus == 0) return {LiftOutcome::Done, "erledigt", "", "", true};
  if (*exitStatus == 2)
    return {giveUp, "Einstellungen ungültig", "Die Einstellungen sind ungültig; es wurde nichts gesendet.",
            "Die gemeldeten Einstellungen korrigieren.", true};
  return explainFailure(errorLine, failedStep);
}

}  // namespace qav
