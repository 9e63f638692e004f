// The manual pages against the programs themselves: every option key the
// command line accepts, every option word of the help texts, every
// environment variable the settings read and every error of the call must
// be documented, so that one added to the program without its manual entry
// fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "settings/command_line.h"
#include "settings/environment.h"
#include "settings/setting_table.h"
#include "settings/settings.h"

extern char** environ;

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in) << path;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// "Fl -name" in mdoc source, not followed by more of an option name, so that
// sip-password is not taken as documented by sip-password-env alone.
bool documentsOption(const std::string& page, const std::string& name) {
  const std::regex option("Fl -" + std::regex_replace(name, std::regex("[-]"), "\\-") + "(?![A-Za-z0-9-])");
  return std::regex_search(page, option);
}

// An entry of its own in a tagged list: ".It Ev NAME".
bool documentsVariable(const std::string& page, const std::string& name) {
  const std::regex entry("(^|\\n)\\.It Ev " + name + "(?![A-Z0-9_])");
  return std::regex_search(page, entry);
}

std::set<std::string> optionWords(const std::string& text) {
  std::set<std::string> words;
  const std::regex word("--([a-z][A-Za-z0-9-]*)");
  for (std::sregex_iterator it(text.begin(), text.end(), word), end; it != end; ++it) words.insert((*it)[1]);
  return words;
}

void clearQavVariables() {
  std::vector<std::string> names;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (text.starts_with("QAV_")) names.push_back(text.substr(0, text.find('=')));
  }
  for (const auto& name : names) ::unsetenv(name.c_str());
}

// The variables the settings really read, found by probing: for every key
// of the command line (and the flag key sip-ice) the variable named after
// it is set alone; it counts as read when it changes the settings or its
// value is refused by the key's parser.
std::set<std::string> variablesRead() {
  std::set<std::string> keys = qav::knownOptionKeys;
  keys.insert({"sip-ice", "json", "dry-run"});
  std::set<std::string> found;
  for (const auto& key : keys) {
    std::string name = "QAV_";
    for (char c : key) name += c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    clearQavVariables();
    ::setenv(name.c_str(), "7", 1);
    qav::Settings settings;
    bool read = false;
    try {
      qav::applyEnvironment(settings);
      read = !(settings == qav::Settings{});
    } catch (const std::exception&) {
      read = true;
    }
    ::unsetenv(name.c_str());
    if (read) found.insert(name);
  }
  return found;
}

const std::string kManDir = QAV_MAN_DIR;

TEST(QavCliManual, DocumentsEveryOptionKeyAndEveryOptionOfTheHelpText) {
  const std::string page = readFile(kManDir + "/qav-cli.1");
  ASSERT_FALSE(qav::knownOptionKeys.empty());
  for (const auto& key : qav::knownOptionKeys) EXPECT_TRUE(documentsOption(page, key)) << "--" << key;
  // The help text also names the flags (--json, --dry-run, --ice, ...).
  const std::set<std::string> helpWords = optionWords(qav::helpText());
  for (const auto& word : helpWords) {
    // "--emergency-trigger-N" stands for the three numbered options.
    if (word == "emergency-trigger-N") continue;
    EXPECT_TRUE(documentsOption(page, word)) << "--" << word;
  }
  EXPECT_TRUE(documentsOption(page, "version"));
}

TEST(QavCliManual, DocumentsEveryEnvironmentVariableTheSettingsRead) {
  const std::string page = readFile(kManDir + "/qav-cli.1");
  const std::set<std::string> variables = variablesRead();
  // The probe must find something, or it proves nothing.
  ASSERT_GE(variables.size(), 10u);
  for (const auto& name : variables) EXPECT_TRUE(documentsVariable(page, name)) << name;
}

TEST(QavCliManual, ProbeTellsReadVariablesFromOthers) {
  // Keys without a variable must not be reported as read, or the coverage
  // test above would demand entries for variables that do not exist.
  const std::set<std::string> variables = variablesRead();
  EXPECT_EQ(variables.count("QAV_RETRIES"), 0u);
  EXPECT_EQ(variables.count("QAV_JSON"), 0u);
  EXPECT_EQ(variables.count("QAV_TARGET"), 1u);
}

// The text of every error qav-cli raises in the call, from its sources:
// the manual's DIAGNOSTICS must name each, so that a new failure without
// its cause and remedy fails here.
std::set<std::string> errorTexts() {
  const std::regex raised(R"((?:runtime_error|ConnectionEnded)\((?:std::string\()?"([^"]+)\")");
  std::set<std::string> texts;
  for (const char* dir : {"app", "dialogue", "recording", "telephony"}) {
    for (const auto& file : std::filesystem::directory_iterator(std::string(QAV_SRC_DIR) + "/" + dir)) {
      if (file.path().extension() != ".cpp") continue;
      const std::string source = readFile(file.path().string());
      for (std::sregex_iterator it(source.begin(), source.end(), raised), end; it != end; ++it)
        texts.insert((*it)[1]);
    }
  }
  // Replaced by the signal's own line before it reaches the user.
  texts.erase("SIP-Registrierung abgebrochen.");
  return texts;
}

TEST(QavCliManual, DiagnosticsNameEveryErrorOfTheCall) {
  std::string page = readFile(kManDir + "/qav-cli.1");
  std::replace(page.begin(), page.end(), '\n', ' ');
  const std::set<std::string> texts = errorTexts();
  ASSERT_GE(texts.size(), 20u);
  for (const auto& text : texts) EXPECT_NE(page.find(text), std::string::npos) << text;
}

// The entry of "--key" in the option lists: from its ".It Fl -key" to the
// next option entry or section.
std::string optionEntry(const std::string& page, const std::string& key) {
  std::smatch found;
  const std::regex start("\\n\\.It Fl -" + key + "(?![A-Za-z0-9-])[^\\n]*\\n");
  if (!std::regex_search(page, found, start)) return "";
  const std::string rest = found.suffix();
  return rest.substr(
      0, std::min({rest.find("\n.It Fl "), rest.find("\n.Ss "), rest.find("\n.Sh ")}));
}

// Each value with a meaning as its own tag: ".It Cm 0" and, on the next
// line, the meaning as the plan listing names it.
TEST(QavCliManual, ListsEveryValueMeaningOfTheSettingTable) {
  const std::string page = readFile(kManDir + "/qav-cli.1");
  std::size_t meanings = 0;
  for (const qav::SettingRow& row : qav::settingTable()) {
    const std::string entry = optionEntry(page, row.key);
    for (const qav::ValueMeaning& value : row.values) {
      if (value.meaning.empty()) continue;
      ++meanings;
      EXPECT_NE(entry.find(".It Cm " + value.value + "\n" + value.meaning + "\n"),
                std::string::npos)
          << "--" << row.key << " " << value.value << ": " << value.meaning;
    }
  }
  ASSERT_GE(meanings, 30u);
}

TEST(QavSimManual, DocumentsEveryOptionOfItsUsage) {
  const std::string page = readFile(kManDir + "/qav-sim.1");
  const std::set<std::string> words = optionWords(qav::testing::runCommand(std::string(QAV_SIM_PATH) + " --help"));
  ASSERT_GE(words.size(), 10u);
  for (const auto& word : words) EXPECT_TRUE(documentsOption(page, word)) << "--" << word;
}

TEST(QavFleetManual, DocumentsEveryOptionOfItsUsage) {
  const std::string page = readFile(kManDir + "/qav-fleet.1");
  const std::set<std::string> words = optionWords(qav::testing::runCommand(std::string(QAV_FLEET_PATH) + " --help"));
  ASSERT_GE(words.size(), 10u);
  for (const auto& word : words) EXPECT_TRUE(documentsOption(page, word)) << "--" << word;
}

TEST(QavTonesManual, DocumentsEveryOptionOfItsUsage) {
  const std::string page = readFile(kManDir + "/qav-tones.1");
  const std::set<std::string> words = optionWords(qav::testing::runCommand(std::string(QAV_TONES_PATH) + " --help"));
  ASSERT_GE(words.size(), 10u);
  for (const auto& word : words) EXPECT_TRUE(documentsOption(page, word)) << "--" << word;
}

}  // namespace
