// Every error qav-cli can end a call with is explained to the technician:
// the messages are read from qav-cli's own sources, not copied here.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "menu_test_support.h"
#include "report/failure_explanations.h"

namespace qav::menu {
namespace {

namespace fs = std::filesystem;

// The source folders of the libraries qav-cli links, from its build file.
std::vector<fs::path> cliSourceFolders() {
  const fs::path src = QAV_SOURCE_DIR;
  const std::string build = test::fileText((src / "app" / "CMakeLists.txt").string());
  std::vector<fs::path> folders{src / "app"};
  const std::regex library(R"(\bqav_([a-z]+)\b)");
  for (auto it = std::sregex_iterator(build.begin(), build.end(), library);
       it != std::sregex_iterator(); ++it)
    if (fs::is_directory(src / (*it)[1].str())) folders.push_back(src / (*it)[1].str());
  return folders;
}

// The argument text of a call, from just after its opening parenthesis to
// the matching one, string literals stepped over.
std::string argumentText(const std::string& code, std::size_t open) {
  int depth = 1;
  bool inString = false;
  for (std::size_t i = open + 1; i < code.size(); ++i) {
    const char c = code[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth == 0) {
      return code.substr(open + 1, i - open - 1);
    }
  }
  return "";
}

// The message an argument builds, its literals kept and every other part
// (numbers, paths, inner messages) given as "1"; empty without a literal.
std::string sampleMessage(const std::string& argument) {
  std::string sample;
  std::string piece;
  bool anyLiteral = false;
  bool inString = false;
  bool pieceHasLiteral = false;
  int depth = 0;
  const auto endPiece = [&] {
    if (!pieceHasLiteral) sample += "1";
    pieceHasLiteral = false;
  };
  for (std::size_t i = 0; i < argument.size(); ++i) {
    const char c = argument[i];
    if (inString) {
      if (c == '\\' && i + 1 < argument.size()) sample += argument[++i];
      else if (c == '"') inString = false;
      else sample += c;
      continue;
    }
    if (c == '"') {
      inString = pieceHasLiteral = anyLiteral = true;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (depth == 0 && c == '+') {
      endPiece();
    } else if (depth == 0 && c == ',') {
      break;
    }
  }
  endPiece();
  return anyLiteral ? sample : "";
}

// Whether the message ends in another one: the text of a caught exception
// or of a failed attempt.
bool wrapsAnother(const std::string& argument) {
  const std::string last = argument.substr(argument.rfind('+') + 1);
  return last.find("what()") != std::string::npos || last.find("failure") != std::string::npos;
}

struct ThrownMessages {
  std::set<std::string> messages;
  std::set<std::string> wrappers;  // the text before the message they wrap
};

// The messages of each folder.
std::map<std::string, ThrownMessages> thrownMessages() {
  const std::regex construction(
      R"(\b(runtime_error|LibreFailure|ConnectionEnded|invalid_argument|out_of_range)\s*\()");
  std::map<std::string, ThrownMessages> found;
  for (const fs::path& folder : cliSourceFolders())
    for (const auto& entry : fs::directory_iterator(folder)) {
      ThrownMessages& thrown = found[folder.filename().string()];
      if (entry.path().extension() != ".cpp") continue;
      const std::string code = test::fileText(entry.path().string());
      for (auto it = std::sregex_iterator(code.begin(), code.end(), construction);
           it != std::sregex_iterator(); ++it) {
        const std::size_t open = static_cast<std::size_t>(it->position() + it->length() - 1);
        const std::string argument = argumentText(code, open);
        const std::string sample = sampleMessage(argument);
        if (sample.empty()) continue;
        thrown.messages.insert(sample);
        if (wrapsAnother(argument)) thrown.wrappers.insert(sample.substr(0, sample.size() - 1));
      }
    }
  return found;
}

bool explained(const std::string& line) {
  for (const char* step : {"", "auth", "qav"})
    if (explainFailure(line, step).known) return true;
  return false;
}

TEST(FailureCoverage, EveryErrorQavCliThrowsHasACauseAndANextStep) {
  std::size_t count = 0;
  for (const auto& [folder, thrown] : thrownMessages()) {
    // A message that ends in another one ("Nach 2 Wiederholungen
    // fehlgeschlagen: …") wraps the reasons thrown in the same module.
    for (const std::string& message : thrown.messages) {
      bool covered = explained(message);
      for (const std::string& wrapper : thrown.wrappers)
        covered = covered || explained(wrapper + message);
      EXPECT_TRUE(covered) << "unexplained (" << folder << "): " << message;
      ++count;
    }
  }
  EXPECT_GE(count, 40u) << "the sources were not found or not read";
  for (const FailureExplanation& row : failureExplanations()) {
    EXPECT_STRNE(row.cause, "") << row.pattern;
    EXPECT_STRNE(row.nextStep, "") << row.pattern;
  }
}

// Reasons reach the technician inside the text of the step that failed;
// the wrapper's broad row must not hide what they say.
TEST(FailureCoverage, WrappedReasonsKeepTheirOwnRow) {
  EXPECT_EQ(explainFailure("PJSIP: Ungültiger STUN-Server: stun:x:y", "").explanation, "STUN-Server prüfen");
  for (const char* line : {"Nach 2 Wiederholungen fehlgeschlagen: DTMF konnte nicht gesendet werden: SIP 415",
                           "Uhrzeit und Datum nach 2 Wiederholungen fehlgeschlagen: Inband-DTMF-Ausgabepuffer "
                           "wurde nicht abgearbeitet."})
    EXPECT_EQ(explainFailure(line, "auth").explanation, "Tonwahl nicht übertragen, DTMF-Verfahren prüfen") << line;
}

}  // namespace
}  // namespace qav::menu
