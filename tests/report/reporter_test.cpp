#include "report/reporter.h"

#include <gtest/gtest.h>

#include <sstream>

namespace qav {
namespace {

std::string consoleLine(ColorMode color, bool terminal, EventLevel level, const std::string& msg) {
  std::ostringstream out;
  Reporter reporter(color, false, out, terminal);
  reporter.report(level, "x", msg);
  return out.str();
}

TEST(ReporterConsole, SymbolsPerLevelWithoutColour) {
  EXPECT_EQ(consoleLine(ColorMode::Never, true, EventLevel::Info, "a"), "[i] a\n");
  EXPECT_EQ(consoleLine(ColorMode::Never, true, EventLevel::Pending, "a"), "[\u2026] a\n");
  EXPECT_EQ(consoleLine(ColorMode::Never, true, EventLevel::Success, "a"), "[\u2713] a\n");
  EXPECT_EQ(consoleLine(ColorMode::Never, true, EventLevel::Retry, "a"), "[\u21bb] a\n");
  EXPECT_EQ(consoleLine(ColorMode::Never, true, EventLevel::Error, "a"), "[\u2717] a\n");
}

TEST(ReporterConsole, ColourWrapsOnlyTheSymbol) {
  EXPECT_EQ(consoleLine(ColorMode::Always, false, EventLevel::Success, "ok \"x\""),
            "\x1b[32m[\u2713]\x1b[0m ok \"x\"\n");
  EXPECT_EQ(consoleLine(ColorMode::Always, false, EventLevel::Retry, "r"),
            "\x1b[33m[\u21bb]\x1b[0m r\n");
  EXPECT_EQ(consoleLine(ColorMode::Always, false, EventLevel::Error, "e"),
            "\x1b[31m[\u2717]\x1b[0m e\n");
  EXPECT_EQ(consoleLine(ColorMode::Always, false, EventLevel::Pending, "p"),
            "\x1b[36m[\u2026]\x1b[0m p\n");
}

TEST(ReporterConsole, AutoFollowsTheTerminal) {
  EXPECT_EQ(consoleLine(ColorMode::Auto, false, EventLevel::Info, "m"), "[i] m\n");
  EXPECT_EQ(consoleLine(ColorMode::Auto, true, EventLevel::Info, "m"), "\x1b[36m[i]\x1b[0m m\n");
}

TEST(ReporterConsole, MessageIsWrittenRaw) {
  const std::string raw = "a\"b\\c\td\x01\x1b" "e";
  EXPECT_EQ(consoleLine(ColorMode::Never, false, EventLevel::Info, raw), "[i] " + raw + "\n");
  EXPECT_EQ(consoleLine(ColorMode::Never, false, EventLevel::Info, ""), "[i] \n");
}

TEST(ReporterJson, ExactMembersAndNeverColour) {
  std::ostringstream out;
  Reporter reporter(ColorMode::Always, true, out, true);
  EXPECT_FALSE(reporter.usesColor());
  reporter.success("dry-run", "Konfiguration gültig");
  reporter.pending("call", "");
  EXPECT_EQ(out.str(),
            "{\"level\":\"success\",\"event\":\"dry-run\",\"message\":\"Konfiguration gültig\"}\n"
            "{\"level\":\"pending\",\"event\":\"call\",\"message\":\"\"}\n");
}

TEST(ReporterJson, EscapesAndDropsControlBytes) {
  EXPECT_EQ(escapeJson("q\"b\\t\tn\nr\r"), "q\\\"b\\\\t\\tn\\nr\\r");
  EXPECT_EQ(escapeJson(std::string("a\x01" "b\x1b" "c\x1f" "d\x7f", 8)), "abcd\x7f");
  EXPECT_EQ(escapeJson(std::string("\0z", 2)), "z");
  // Multi-byte UTF-8 passes unchanged, never as \u escapes.
  EXPECT_EQ(escapeJson("Bestätigungston → ✓"), "Bestätigungston → ✓");
  EXPECT_EQ(escapeJson("\xff\xfe"), "\xff\xfe");
}

TEST(ReporterJson, EventNameIsEscapedToo) {
  std::ostringstream out;
  Reporter reporter(ColorMode::Never, true, out, false);
  reporter.info("a\"b", "line1\nline2");
  EXPECT_EQ(out.str(), "{\"level\":\"info\",\"event\":\"a\\\"b\",\"message\":\"line1\\nline2\"}\n");
}

}  // namespace
}  // namespace qav
