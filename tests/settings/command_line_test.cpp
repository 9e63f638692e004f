#include "settings/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace qav {
namespace {

CommandLine parse(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "qav-cli");
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  return parseCommandLine(static_cast<int>(arguments.size()), argv.data());
}

std::string parseError(const std::vector<std::string>& arguments) {
  try {
    parse(arguments);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "(parsed)";
}

TEST(CommandLine, ValueAsNextArgumentOrAfterEquals) {
  EXPECT_EQ(parse({"--target", "0123", "--actions", "clock"}).options,
            (SettingMap{{"target", "0123"}, {"actions", "clock"}}));
  EXPECT_EQ(parse({"--target=0123"}).options, (SettingMap{{"target", "0123"}}));
  EXPECT_EQ(parse({"--target="}).options, (SettingMap{{"target", ""}}));
  EXPECT_EQ(parse({"--routine-at=12=34"}).options, (SettingMap{{"routine-at", "12=34"}}));
  EXPECT_EQ(parse({"--target", "1", "--target=2"}).options, (SettingMap{{"target", "2"}}));
}

TEST(CommandLine, NextArgumentIsTakenWhateverItLooksLike) {
  const CommandLine line = parse({"--target", "--json", "--pin", "-h"});
  EXPECT_EQ(line.options, (SettingMap{{"target", "--json"}, {"pin", "-h"}}));
  EXPECT_FALSE(line.help);
}

TEST(CommandLine, FlagsOnlyWhole) {
  const CommandLine line = parse({"--json", "--dry-run", "--ice", "--no-ice", "-h", "--version"});
  EXPECT_EQ(line.options,
            (SettingMap{{"json", "true"}, {"dry-run", "true"}, {"sip-ice", "false"}}));
  EXPECT_TRUE(line.help);
  EXPECT_TRUE(line.version);
  EXPECT_EQ(parse({"--no-ice", "--ice"}).options.at("sip-ice"), "true");

  EXPECT_EQ(parseError({"--json=1"}), "Unbekannte Option: --json");
  EXPECT_EQ(parseError({"--sip-ice", "1"}), "Unbekannte Option: --sip-ice");
  EXPECT_EQ(parseError({"--JSON"}), "Unbekannte Option: --JSON");
  EXPECT_EQ(parseError({"--help=1"}), "Unbekannte Option: --help");
}

TEST(CommandLine, Errors) {
  EXPECT_EQ(parseError({"--target"}), "Wert fehlt für --target");
  EXPECT_EQ(parseError({"--nonsense"}), "Unbekannte Option: --nonsense");
  EXPECT_EQ(parseError({"--nonsense=1"}), "Unbekannte Option: --nonsense");
  EXPECT_EQ(parseError({"--"}), "Unbekannte Option: --");
  EXPECT_EQ(parseError({"--=x"}), "Unbekannte Option: --");
  EXPECT_EQ(parseError({"target"}), "Unbekanntes Argument: target");
  EXPECT_EQ(parseError({"-x"}), "Unbekanntes Argument: -x");
  EXPECT_EQ(parseError({"-"}), "Unbekanntes Argument: -");
  EXPECT_EQ(parseError({""}), "Unbekanntes Argument: ");
  EXPECT_EQ(parseError({"--emergency-trigger-4", "411"}),
            "Unbekannte Option: --emergency-trigger-4");
  // A help request does not hide a later error, and the first error wins.
  EXPECT_EQ(parseError({"--help", "--nonsense", "x"}), "Unbekannte Option: --nonsense");
}

TEST(CommandLine, FewerThanTwoArgumentsGiveAnEmptyResult) {
  const char* argv[] = {"qav-cli", nullptr};
  const CommandLine line = parseCommandLine(1, argv);
  EXPECT_TRUE(line.options.empty());
  EXPECT_FALSE(line.help);
  EXPECT_FALSE(line.version);
  EXPECT_TRUE(parseCommandLine(0, argv).options.empty());
}

// The help text is a promise to the user: every option it names must be
// accepted by the parser, and its shape must survive edits.
TEST(HelpText, EveryNamedOptionIsAccepted) {
  const std::string& text = helpText();
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 33);
  EXPECT_EQ(text.find('\t'), std::string::npos);

  const auto isNameChar = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
  };
  int named = 0;
  for (std::size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at)) {
    std::size_t end = at + 2;
    while (end < text.size() && isNameChar(text[end])) ++end;
    const std::string name = text.substr(at + 2, end - at - 2);
    at = end;
    ++named;
    if (name == "emergency-trigger-N") {
      for (const char* n : {"1", "2", "3"})
        EXPECT_EQ(knownOptionKeys.count("emergency-trigger-" + std::string(n)), 1u);
      continue;
    }
    if (name == "json" || name == "dry-run" || name == "ice" || name == "no-ice" || name == "help")
      EXPECT_NO_THROW(parse({"--" + name})) << name;
    else
      EXPECT_EQ(parse({"--" + name, "v"}).options.at(name), "v") << name;
  }
  EXPECT_GE(named, 20);  // the scan itself must have found the options
}

}  // namespace
}  // namespace qav
