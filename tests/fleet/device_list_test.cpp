// The device list as qav-fleet reads it: the quoting and encodings that
// spreadsheets write, and every kind of bad row or file named by its line.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "fleet/device_list.h"
#include "temporary_directory.h"

namespace qav::fleet {
namespace {

using namespace std::string_literals;
using testing::TemporaryDirectory;

DeviceList parse(const std::string& text, const Settings& common = {}, bool ownerOnly = true) {
  return parseDeviceList(ListFile{text, ownerOnly}, "anlagen.csv", common, false);
}

std::vector<std::string> described(const DeviceList& list) {
  std::vector<std::string> lines;
  for (const LineFinding& finding : list.findings) lines.push_back(describe(finding));
  return lines;
}

TEST(DeviceList, SpreadsheetQuotingKeepsValuesAndTheLinesRowsBeginOn) {
  // BOM, CRLF, a remark with ";", "," and two line breaks, a doubled quote,
  // an empty line and the ";;;" a spreadsheet writes for a blank row.
  const DeviceList list = parse(
      "\xEF\xBB\xBFid;Target;cabin;bemerkung;actions\r\n"
      "aufzug-1;0301;0;\"Hof; links,\r\nKeller\nTür \"\"B\"\"\";clock\r\n"
      "\r\n"
      ";;;;\r\n"
      "aufzug-2; 0302 ;;;\"clock,routine\"\r\n"
      "aufzug-3;0302;1;;\n");
  ASSERT_TRUE(list.findings.empty()) << ::testing::PrintToString(described(list));
  ASSERT_EQ(list.lifts.size(), 3u);
  EXPECT_EQ(list.lifts[0].line, 2u);
  EXPECT_EQ(list.lifts[0].remark, "Hof; links,\r\nKeller\nTür \"B\"");
  EXPECT_EQ(list.lifts[1].line, 7u);
  EXPECT_EQ(list.lifts[2].line, 8u);
  EXPECT_EQ(list.lifts[1].settings.device.target, "0302");
  EXPECT_EQ(list.lifts[1].settings.device.actions, (std::vector<std::string>{"clock", "routine"}));
  // Empty cells are no values: the common settings apply there.
  EXPECT_EQ(list.lifts[1].values, (SettingMap{{"actions", "clock,routine"}, {"target", "0302"}}));
  EXPECT_EQ(list.lifts[2].name(), "aufzug-3");
}

TEST(DeviceList, CommaSeparatedListAndRowValuesOverTheCommonSettings) {
  Settings common;
  common.device.pin = "1111";
  common.device.actions = {"clock"};
  const DeviceList list = parse("target,pin,actions\n0301,,\n0302,2222,\"routine,clock\"\n", common);
  ASSERT_TRUE(list.findings.empty()) << ::testing::PrintToString(described(list));
  ASSERT_EQ(list.lifts.size(), 2u);
  EXPECT_EQ(list.lifts[0].settings.device.pin, "1111");
  EXPECT_EQ(list.lifts[0].settings.device.actions, (std::vector<std::string>{"clock"}));
  EXPECT_EQ(list.lifts[1].settings.device.pin, "2222");
  EXPECT_EQ(list.lifts[1].settings.device.actions, (std::vector<std::string>{"routine", "clock"}));
  EXPECT_EQ(list.lifts[1].name(), "0302");
}

TEST(DeviceList, EveryBadRowIsNamedWithTheLineItBeginsOn) {
  const DeviceList list = parse(
      "target;pin;cabin;bemerkung;pni;color\n"
      "0301;1234;0;\"zwei\nZeilen\";;\n"
      "0301;1234;0;;;\n"
      "0301;1234;1;;;\n"
      "0303;12;x;;;\n"
      "0304;1234;0\n"
      "\"03\n05\";1234;0;;;\n");
  EXPECT_EQ(described(list),
            (std::vector<std::string>{
                "Zeile 1: Unbekannte Spalte „pni“: kein Einstellungsschlüssel von qav-cli, nicht id oder bemerkung.",
                "Zeile 1: Spalte „color“ gilt für den ganzen Lauf; als Option von qav-fleet angeben.",
                "Zeile 4: Ziel 0301 Kabine 0 steht schon in Zeile 2.",
                "Zeile 6: Ungültiger Zahlenwert für cabin: x",
                "Zeile 6: QAV-PIN muss vierstellig sein.",
                "Zeile 7: 3 Felder, die Kopfzeile hat 6.",
                "Zeile 8: Wert der Spalte „target“ enthält einen Zeilenumbruch.",
            }));
}

TEST(DeviceList, HeaderWithoutTargetOrWithAColumnTwiceDuplicateIdsAndSharedFiles) {
  EXPECT_EQ(described(parse("pin\n1234\n")),
            (std::vector<std::string>{"Zeile 1: Spalte „target“ fehlt in der Kopfzeile.",
                                      "Zeile 2: Zielrufnummer fehlt."}));
  EXPECT_EQ(described(parse("\n\nid;target;Target\na;1;1\n")),
            (std::vector<std::string>{"Zeile 3: Spalte „target“ steht zweimal in der Kopfzeile."}));
  EXPECT_EQ(described(parse("id;target\na;1\na;2\n")),
            (std::vector<std::string>{"Zeile 3: id „a“ steht schon in Zeile 2."}));
  // Calls run side by side, so each writes its own report and recording.
  EXPECT_EQ(described(parse("target;report;record-audio\n1;a.json;\n2;./a.json;\n3;;a.json\n")),
            (std::vector<std::string>{
                "Zeile 3: Datei „./a.json“ schreibt schon der Anruf aus Zeile 2; jede Anlage braucht ihre eigene.",
                "Zeile 4: Datei „a.json“ schreibt schon der Anruf aus Zeile 2; jede Anlage braucht ihre eigene."}));
  Settings reporting;
  reporting.reportPath = "bericht.json";
  EXPECT_EQ(described(parse("target;report\n1;eins.json\n", reporting)).front(),
            "report und record-audio gelten für einen Anruf: als Spalte der Liste angeben, mit einer "
            "eigenen Datei je Anlage.");
  EXPECT_EQ(described(parse("target\n")),
            (std::vector<std::string>{"Liste enthält keine Anlage, nur die Kopfzeile: anlagen.csv"}));
}

TEST(DeviceList, PasswordColumnOnlyInAFileOfItsOwnerAlone) {
  const std::string text = "target;sip-password\n0301;geheim\n";
  EXPECT_EQ(described(parse(text, {}, false)),
            (std::vector<std::string>{
                "Liste mit SIP-Passwort darf keine Gruppen- oder Fremdrechte besitzen: anlagen.csv"}));
  const DeviceList list = parse(text, {}, true);
  ASSERT_TRUE(list.findings.empty());
  EXPECT_EQ(list.lifts[0].settings.sip.password, "geheim");

  TemporaryDirectory dir;
  for (const auto& [mode, refused] : {std::pair{0600, false}, std::pair{0640, true}, std::pair{0604, true}}) {
    const std::string path = dir.write("liste.csv", text, std::filesystem::perms(mode));
    EXPECT_EQ(!readDeviceList(path, {}, false).findings.empty(), refused) << std::oct << mode;
  }
}

TEST(DeviceList, WhatIsNoTextEndsWithOneFindingAtItsLine) {
  const std::string header = "target;bemerkung\n0301;a\n";
  const std::vector<std::pair<std::string, std::string>> cases{
      {header + "0302;b\0c\n"s, "Zeile 3: NUL-Byte in der Liste; sie ist keine CSV-Textdatei."},
      {header + "0302;\x1b[31m\n", "Zeile 3: Steuerzeichen (Byte 0x1B) in der Liste; sie ist keine CSV-Textdatei."},
      {header + "0302;T\xFCr\n", "Zeile 3: Byte 0xFC ist kein UTF-8; die Liste als CSV in UTF-8 speichern."},
      {header + "0302;\"offen\n0303;x\n", "Zeile 3: Anführungszeichen nicht geschlossen; das Feld reicht bis zum Dateiende."},
      {header + "0302;5\" Display\n", "Zeile 3: Anführungszeichen falsch gesetzt: ein Feld mit \" muss ganz in "
                                      "Anführungszeichen stehen, ein \" darin verdoppelt."},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(described(parse(text)), std::vector<std::string>{expected})
        << ::testing::PrintToString(text);
}

TEST(DeviceList, HugeFieldsRowsAndFilesAreRefusedWithoutHanging) {
  const DeviceList field = parse("target;bemerkung\n0301;\"" + std::string(10'000'000, 'x') + "\"\n0302;ok\n0302;x\n");
  EXPECT_EQ(described(field), (std::vector<std::string>{
                                  "Zeile 2: Feld 2 ist 10000000 Bytes lang; erlaubt sind höchstens 65536.",
                                  "Zeile 4: Ziel 0302 Kabine 0 steht schon in Zeile 3."}));

  std::string rows = "target\n";
  for (int i = 0; i < 100'000; ++i) rows += std::to_string(1'000'000 + i) + "\n";
  const DeviceList most = parse(rows);
  EXPECT_TRUE(most.findings.empty());
  EXPECT_EQ(most.lifts.size(), 100'000u);
  EXPECT_EQ(described(parse(rows + "9\n")),
            (std::vector<std::string>{
                "Die Liste hat mehr als 100000 Anlagen; so viele sind höchstens in einem Lauf möglich."}));

  TemporaryDirectory dir;
  ASSERT_EQ(::mkfifo(dir.path("fifo.csv").c_str(), 0600), 0);
  EXPECT_EQ(described(readDeviceList(dir.path("fifo.csv"), {}, false)),
            (std::vector<std::string>{"Liste ist leer: " + dir.path("fifo.csv")}));
  EXPECT_EQ(described(readDeviceList("/dev/zero", {}, false)),
            (std::vector<std::string>{"Liste ist größer als 64 MiB: /dev/zero"}));
  EXPECT_EQ(described(readDeviceList(dir.path(), {}, false)),
            (std::vector<std::string>{"Liste ist ein Verzeichnis: " + dir.path()}));
}

}  // namespace
}  // namespace qav::fleet
