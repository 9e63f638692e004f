#include <gtest/gtest.h>

#include <sstream>

#include "menu/cli_event.h"
#include "menu/plan_outline.h"
#include "menu/progress_bar.h"
#include "menu/progress_tracker.h"
#include "menu/run_view.h"
#include "menu_test_support.h"

namespace qav::menu {
namespace {

std::vector<std::string> recorded(const std::string& name) {
  return test::fileLines(std::string(QAV_MENU_TEST_DATA) + "/" + name);
}

std::vector<CliEvent> events(const std::vector<std::string>& lines) {
  std::vector<CliEvent> result;
  for (const std::string& line : lines) {
    auto event = parseCliEvent(line);
    EXPECT_TRUE(event.has_value()) << line;
    if (event) result.push_back(*event);
  }
  return result;
}

PlanOutline dryRunOutline() {
  OutlineCollector collector;
  for (const CliEvent& event : events(recorded("dry_run.jsonl"))) collector.observe(event);
  return collector.outline();
}

std::vector<std::size_t> finishedAfterEach(const std::vector<std::string>& lines) {
  ProgressTracker tracker(dryRunOutline());
  std::vector<std::size_t> counts;
  for (const CliEvent& event : events(lines)) {
    tracker.observe(event);
    counts.push_back(tracker.finished());
  }
  return counts;
}

TEST(PlanOutline, CountsTheSegmentsOfEachListedAction) {
  const PlanOutline outline = dryRunOutline();
  const std::vector<OutlineAction> expected{{"clock", 3}, {"routine", 4}, {"dial-mode", 2}};
  EXPECT_EQ(outline.actions, expected);
  EXPECT_EQ(outline.totalSegments(), 9u);
}

TEST(ParseCliEvent, TakesOnlyObjectsWithTheThreeTexts) {
  EXPECT_EQ(parseCliEvent(R"({"level":"retry","event":"clock","message":"a \"b\"\tc"})"),
            (CliEvent{"retry", "clock", "a \"b\"\tc"}));
  EXPECT_FALSE(parseCliEvent("[i] Befehlssatz: #* (Z208)"));
  EXPECT_FALSE(parseCliEvent(R"({"level":"info","event":"plan"})"));
  EXPECT_FALSE(parseCliEvent(R"({"level":1,"event":"plan","message":"x"})"));
  EXPECT_FALSE(parseCliEvent(R"(["level","event","message"])"));
}

TEST(ProgressTracker, SegmentsFinishOnTheNextSendAndRetriesStartTheActionOver) {
  // Line by line: the start of the call and the PIN exchange (with its own
  // retry) move nothing; clock has 3 segments, routine fails in its third
  // and is repeated from its first, dial-mode has 2.
  const std::vector<std::size_t> expected{0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // sip .. auth
                                          0, 0, 1, 2, 3,                 // clock
                                          3, 3, 4, 5, 3,                 // routine, retry
                                          3, 4, 5, 6, 7,                 // routine again
                                          7, 7, 8, 9,                    // dial-mode
                                          9, 9, 9};                      // hangup, complete
  EXPECT_EQ(finishedAfterEach(recorded("run_with_retries.jsonl")), expected);
}

TEST(ProgressTracker, ANewAttemptNumberRestartsEvenWithoutItsRetryLine) {
  std::vector<std::string> lines = recorded("run_with_retries.jsonl");
  lines.erase(lines.begin() + 19);  // the routine's retry line
  const std::vector<std::size_t> counts = finishedAfterEach(lines);
  EXPECT_EQ(counts[18], 5u);  // third routine segment sent in attempt 1
  EXPECT_EQ(counts[19], 3u);  // first segment of attempt 2
  EXPECT_EQ(counts.back(), 9u);
}

TEST(ProgressTracker, AFailedRunStopsShortOfTheTotal) {
  std::vector<std::string> lines = recorded("run_with_retries.jsonl");
  lines.resize(19);  // qav-cli ends during routine's third segment
  EXPECT_EQ(finishedAfterEach(lines).back(), 5u);
}

TEST(ProgressBar, FillsInProportionAndNeverOverflows) {
  EXPECT_EQ(progressBar(0, 9, 9), "[.........] 0/9 Schritte");
  EXPECT_EQ(progressBar(3, 9, 9), "[###......] 3/9 Schritte");
  EXPECT_EQ(progressBar(12, 9, 9), "[#########] 9/9 Schritte");
  EXPECT_EQ(progressBar(0, 0, 4), "[....] 0/0 Schritte");
}

std::string renderedRun(bool terminal, const std::vector<std::string>& lines,
                        const std::vector<std::string>& errors, ChildExit exit) {
  std::ostringstream out;
  RunView view(out, terminal, false, dryRunOutline());
  for (const std::string& line : lines) view.outputLine(line);
  for (const std::string& line : errors) view.errorLine(line);
  view.finish(exit);
  return out.str();
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(RunView, OnAPipeEveryEventIsALineAndTheBarALineWhenItMoves) {
  const std::vector<std::string> output =
      splitLines(renderedRun(false, recorded("run_with_retries.jsonl"), {}, {true, 0, 0}));
  std::vector<std::string> counts;  // "a/9" of every bar line, in order
  for (const std::string& line : output)
    if (line.starts_with("Fortschritt: "))
      counts.push_back(
          line.substr(line.find("] ") + 2, line.find(" Schritte") - line.find("] ") - 2));
  const std::vector<std::string> expected{"1/9", "2/9", "3/9", "4/9", "5/9", "3/9", "4/9",
                                          "5/9", "6/9", "7/9", "8/9", "9/9", "9/9"};
  EXPECT_EQ(counts, expected);
  EXPECT_EQ(output.front(), "[…] Melde SIP-Account am Server an …");
  EXPECT_NE(std::find(output.begin(), output.end(),
                      "[↻] Ungültige Eingabe laut QAV. Gesamte Befehlssequenz wird wiederholt."),
            output.end());
  // The verdict, then what the device took: only the labels of the attempt
  // that succeeded, not those of the repeated routine sequence.
  const std::size_t verdict = recorded("run_with_retries.jsonl").size() + counts.size();
  ASSERT_EQ(output.size(), verdict + 12);
  EXPECT_EQ(output[verdict], "[✓] Programmierung erfolgreich: das QAV hat alles bestätigt.");
  EXPECT_EQ(output[verdict + 1], "Programmiert: Uhrzeit und Datum, Routineruf, Wahlverfahren");
  EXPECT_EQ(output[verdict + 2], "Gesendete Werte:");
  EXPECT_EQ(output[verdict + 7], "  Parameter Routinezeit auf 07:30 Uhr setzen");
  EXPECT_EQ(output.back(), "  Parameter Wahlverfahren auf Tonwahl setzen");
}

TEST(RunView, OnATerminalTheBarIsRedrawnInPlaceAndErrorsStayVisible) {
  std::vector<std::string> lines = recorded("run_with_retries.jsonl");
  lines.resize(19);
  const std::string text = renderedRun(
      true, lines, {"Fehler: Routineruf nach 2 Wiederholungen fehlgeschlagen: x"}, {true, 3, 0});
  // What a terminal shows of each line: the text after its last carriage return.
  std::vector<std::string> visible;
  for (const std::string& line : splitLines(text))
    visible.push_back(line.substr(line.rfind('\r') + 1));
  ASSERT_EQ(visible.size(), lines.size() + 11);
  EXPECT_EQ(visible[10], "[…] Uhrzeit und Datum konfigurieren …");
  EXPECT_EQ(visible[lines.size()], "Fehler: Routineruf nach 2 Wiederholungen fehlgeschlagen: x");
  EXPECT_NE(visible[lines.size() + 1].find("5/9 Schritte"), std::string::npos);
  // The failure in plain words with its cause and next step, and the one
  // action the device took before it.
  const std::vector<std::string> outcome(visible.begin() + lines.size() + 2, visible.end());
  const std::vector<std::string> expected{
      "[✗] Die Programmierung ist fehlgeschlagen.",
      "Ursache: Das QAV hat einen Schritt anders als erwartet beantwortet.",
      "Nächster Schritt: Erneut versuchen; bleibt es dabei, DTMF-Verfahren und DTMF-Zeiten prüfen.",
      "Programmiert: Uhrzeit und Datum",
      "Nicht programmiert: Routineruf, Wahlverfahren",
      "Gesendete Werte:",
      "  Einstellung Uhrzeit und Datum initialisieren",
      "  Parameter Uhrzeit auf 03:02 Uhr setzen",
      "  Parameter Datum auf 08.12.2026 setzen"};
  EXPECT_EQ(outcome, expected);
  EXPECT_EQ(text.back(), '\n');
}

TEST(RunView, ColourMarksOnlyTheSymbol) {
  EXPECT_EQ(renderEvent({"success", "x", "fertig"}, true), "\x1b[32m[✓]\x1b[0m fertig");
  EXPECT_EQ(renderEvent({"retry", "x", "nochmal"}, false), "[↻] nochmal");
}

}  // namespace
}  // namespace qav::menu
