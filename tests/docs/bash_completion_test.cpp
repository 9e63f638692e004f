// The installed bash completion scripts, run by bash, against the setting
// table they are written from: what a technician gets after a tab.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "settings/setting_table.h"
#include "temporary_directory.h"

namespace {

using Words = std::set<std::string>;

const std::string kCompletionDir = QAV_COMPLETION_DIR;

// The words bash offers for the last of `words`, as the script of `program`
// completes them.
Words complete(const std::string& program, const std::vector<std::string>& words) {
  std::string function = "_";
  for (char c : program) function += c == '-' ? '_' : c;
  std::string line = "COMP_WORDS=(";
  for (const std::string& word : words) line += "'" + word + "' ";
  line += ")\nCOMP_CWORD=" + std::to_string(words.size() - 1) + "\n";
  const qav::testing::TemporaryDirectory scratch;
  const std::string driver = scratch.write(
      "driver", "source '" + kCompletionDir + "/" + program + "'\n" + line + function +
                    "\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n");
  std::istringstream out(qav::testing::runCommand("cd " + scratch.path() + " && bash " + driver));
  Words offered;
  for (std::string word; std::getline(out, word);)
    if (!word.empty()) offered.insert(word);
  return offered;
}

TEST(BashCompletion, OptionsAndTheirValuesComeFromTheSettingTable) {
  Words options{"--help", "--version"};
  std::size_t closedLists = 0;
  for (const qav::SettingRow& row : qav::settingTable()) {
    for (const auto& [word, value] : row.flags) options.insert(word);
    if (!row.option) continue;
    options.insert("--" + row.key);
    if (!row.allowed.empty() || row.values.empty() || row.access.form == qav::ValueForm::List)
      continue;
    Words values;
    for (const qav::ValueMeaning& value : row.values) values.insert(value.value);
    EXPECT_EQ(complete("qav-cli", {"qav-cli", "--" + row.key, ""}), values) << row.key;
    ++closedLists;
  }
  ASSERT_GE(closedLists, 10u);
  EXPECT_EQ(complete("qav-cli", {"qav-cli", "--target", "1", "--"}), options);
  // --key=value, with the equals sign as a word of its own as bash splits it.
  EXPECT_EQ(complete("qav-cli", {"qav-cli", "--dial-mode", "=", "2"}), Words{"2"});
  EXPECT_EQ(complete("qav-cli", {"qav-cli", "--color=al"}), Words{"always"});
  // A value without a list of words gets nothing, not the options.
  EXPECT_EQ(complete("qav-cli", {"qav-cli", "--target", ""}), Words{});
}

TEST(BashCompletion, ActionListsAndFileNames) {
  EXPECT_EQ(complete("qav-cli", {"qav-cli", "--actions", "clock,routine-"}),
            Words{"clock,routine-fault"});
  EXPECT_EQ(complete("qav-cli", {"qav-cli", "--actions", "z"}), Words{"z208"});
  EXPECT_EQ(complete("qav-cli", {"qav-cli", "--config", "driv"}), Words{"driver"});
}

TEST(BashCompletion, FleetCommandsOwnOptionsAndQavCliOptions) {
  const Words first = complete("qav-fleet", {"qav-fleet", ""});
  for (const char* command : {"run", "report", "history", "--help"})
    EXPECT_EQ(first.count(command), 1u) << command;
  EXPECT_EQ(complete("qav-fleet", {"qav-fleet", "run", "liste.csv", "--retry-r"}),
            Words{"--retry-rounds"});
  EXPECT_EQ(complete("qav-fleet", {"qav-fleet", "run", "--line-impedance", ""}), (Words{"0", "1"}));
  EXPECT_EQ(complete("qav-fleet", {"qav-fleet", "run", "--db", "dri"}), Words{"driver"});
  EXPECT_EQ(complete("qav-menu", {"qav-menu", "--"}), (Words{"--help", "--version"}));
}

}  // namespace
