#include "settings/value_parsers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace qav {
namespace {

using ::testing::ElementsAre;

std::string numberError(const std::string& text, std::uint32_t bound) {
  try {
    parseNumber("sip-port", text, bound);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "(accepted)";
}

TEST(ParseNumber, AcceptsWhatTheUnsignedConversionTakesWhole) {
  EXPECT_EQ(parseNumber("sip-port", "5060", 65535), 5060u);
  EXPECT_EQ(parseNumber("sip-port", " 5060", 65535), 5060u);
  EXPECT_EQ(parseNumber("sip-port", "\t+5", 65535), 5u);
  EXPECT_EQ(parseNumber("sip-port", "0", 65535), 0u);
  EXPECT_EQ(parseNumber("sip-port", "00065535", 65535), 65535u);
  EXPECT_EQ(parseNumber("x", "4294967295", 4294967295u), 4294967295u);
}

TEST(ParseNumber, RefusesWithTheTextUnchanged) {
  for (const std::string text : {"65536", "5060 ", "", " ", "+", "-1", "- 1", "0x10", "5e3", "12a",
                                 "99999999999999999999999999999999", "-18446744073709551615"})
    EXPECT_EQ(numberError(text, 65535), "Ungültiger Zahlenwert für sip-port: " + text) << text;
  EXPECT_EQ(numberError("4294967296", 4294967295u),
            "Ungültiger Zahlenwert für sip-port: 4294967296");
}

// Only a configuration file can carry a NUL byte; the conversion stops
// there, but the value as a whole is not a number.
TEST(ParseNumber, EmbeddedNulIsNotTheEndOfTheText) {
  EXPECT_THROW(parseNumber("sip-port", std::string("12\0" "3", 4), 65535), std::runtime_error);
}

TEST(ParseBool, WordsInAnyCaseAndErrorQuotesTheOriginal) {
  for (const char* yes : {"1", "true", "YES", "On", "tRuE"})
    EXPECT_TRUE(parseBool("k", yes)) << yes;
  for (const char* no : {"0", "false", "No", "OFF"}) EXPECT_FALSE(parseBool("k", no)) << no;
  for (const std::string bad : {"y", "", " true", "2", "ja", "\xc3\x9cn"}) {
    try {
      parseBool("sip-ice", bad);
      ADD_FAILURE() << "accepted " << bad;
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(std::string(error.what()), "Ungültiger Wahrheitswert für sip-ice: " + bad);
    }
  }
}

TEST(ParseList, SplitsAtEveryCommaAndKeepsEmptyPieces) {
  EXPECT_TRUE(parseList("").empty());
  EXPECT_THAT(parseList("clock, routine"), ElementsAre("clock", "routine"));
  EXPECT_THAT(parseList("a,,b"), ElementsAre("a", "", "b"));
  EXPECT_THAT(parseList("a,"), ElementsAre("a", ""));
  EXPECT_THAT(parseList(" , "), ElementsAre("", ""));
  EXPECT_THAT(parseList("110,,,"), ElementsAre("110", "", "", ""));
  EXPECT_THAT(parseList("\tClock\r\n,\vx"), ElementsAre("Clock", "\vx"));
}

}  // namespace
}  // namespace qav
