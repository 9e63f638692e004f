#include "completion/completion_script.h"

#include <regex>
#include <set>

#include "settings/setting_table.h"

namespace qav::completion {

namespace {

// What a value of the key may be: bare words, "-f" for a file name, "-l" and
// words for a comma list of them; empty when nothing can be offered.
std::string valueWords(const SettingRow& row) {
  if (row.access.form == ValueForm::Path) return "-f";
  // A value described in words (a range, a number, a name) has no list.
  if (!row.allowed.empty() || row.values.empty()) return "";
  std::string words = row.access.form == ValueForm::List ? "-l" : "";
  for (const ValueMeaning& value : row.values) words += (words.empty() ? "" : " ") + value.value;
  return words;
}

std::string functionName(const std::string& program) {
  std::string name = "_";
  for (char c : program) name += c == '-' ? '_' : c;
  return name;
}

struct Option {
  std::string word;    // with its dashes
  std::string values;  // as valueWords; "" for a flag or a value without list
  bool takesValue = false;
};

std::vector<Option> cliOptions() {
  std::vector<Option> options{{"--help", "", false}, {"-h", "", false}, {"--version", "", false}};
  for (const SettingRow& row : settingTable()) {
    if (row.option) options.push_back({"--" + row.key, valueWords(row), true});
    for (const auto& [word, value] : row.flags) options.push_back({word, "", false});
  }
  return options;
}

// "--db DATEI" in a help text takes a value, a file name when its
// placeholder is DATEI; "--resume" alone is a flag.
std::vector<Option> helpOptions(const std::string& helpText) {
  std::vector<Option> options;
  const std::regex option("(--[a-z][a-z0-9-]*)( ([A-Z]+)\\b)?");
  for (std::sregex_iterator it(helpText.begin(), helpText.end(), option), end; it != end; ++it) {
    const bool valued = (*it)[3].matched;
    options.push_back({(*it)[1], valued && (*it)[3] == "DATEI" ? "-f" : "", valued});
  }
  return options;
}

std::string script(const std::string& program, const std::vector<Option>& options,
                   const std::string& commands) {
  const std::string function = functionName(program);
  std::string words;
  std::string valued = " ";
  std::string cases;
  std::set<std::string> seen;
  for (const Option& option : options) {
    if (!seen.insert(option.word).second) continue;
    words += (words.empty() ? "" : " ") + option.word;
    if (!option.takesValue) continue;
    const std::string key = option.word.substr(2);
    valued += key + " ";
    if (!option.values.empty()) cases += "    " + key + ") echo '" + option.values + "' ;;\n";
  }
  const bool hasValues = valued != " ";
  std::string text = "# bash completion for " + program +
                     ", generated from qav-cli's setting table.\n"
                     "# shellcheck shell=bash\n\n";
  if (hasValues)
    text += function + "_values() {\n  case $1 in\n" + cases + "  esac\n}\n\n";
  text += function + "() {\n  local cur=${COMP_WORDS[COMP_CWORD]}\n";
  if (!commands.empty())
    text += "  if ((COMP_CWORD == 1)); then\n"
            "    mapfile -t COMPREPLY < <(compgen -W '" + commands + "' -- \"$cur\")\n"
            "    return\n"
            "  fi\n";
  if (hasValues)
    text +=
        "  local prev=${COMP_WORDS[COMP_CWORD-1]} key=''\n"
        "  # --key=value: the equals sign is a word of its own unless COMP_WORDBREAKS\n"
        "  # lacks it.\n"
        "  if [[ $cur == = ]]; then\n"
        "    key=${prev#--} cur=''\n"
        "  elif [[ $prev == = ]] && ((COMP_CWORD >= 2)); then\n"
        "    key=${COMP_WORDS[COMP_CWORD-2]#--}\n"
        "  elif [[ $cur == --*=* ]]; then\n"
        "    key=${cur%%=*} key=${key#--} cur=${cur#*=}\n"
        "  elif [[ $prev == --* ]]; then\n"
        "    key=${prev#--}\n"
        "  fi\n"
        "  if [[ -n $key && '" + valued + "' == *\" $key \"* ]]; then\n"
        "    local values\n"
        "    values=$(" + function + "_values \"$key\")\n"
        "    case $values in\n"
        "      -f) mapfile -t COMPREPLY < <(compgen -f -- \"$cur\") ;;\n"
        "      -l*)\n"
        "        local head='' last=$cur\n"
        "        if [[ $cur == *,* ]]; then head=${cur%,*}, last=${cur##*,}; fi\n"
        "        mapfile -t COMPREPLY < <(compgen -P \"$head\" -W \"${values#-l}\" -- \"$last\")\n"
        "        compopt -o nospace 2>/dev/null ;;\n"
        "      *) mapfile -t COMPREPLY < <(compgen -W \"$values\" -- \"$cur\") ;;\n"
        "    esac\n"
        "    return\n"
        "  fi\n";
  // qav-cli takes options only; the other programs take file names as well.
  if (commands.empty())
    text += "  mapfile -t COMPREPLY < <(compgen -W '" + words + "' -- \"$cur\")\n";
  else
    text += "  if [[ $cur == -* ]]; then\n"
            "    mapfile -t COMPREPLY < <(compgen -W '" + words + "' -- \"$cur\")\n"
            "  else\n"
            "    mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
            "  fi\n";
  text += "}\n\ncomplete -F " + function + " " + program + "\n";
  return text;
}

}  // namespace

std::string cliCompletion() { return script("qav-cli", cliOptions(), ""); }

std::string menuCompletion() {
  return script("qav-menu", {{"--help", "", false}, {"--version", "", false}}, "");
}

std::string fleetCompletion(const std::string& fleetHelpText, const std::string& commands) {
  // qav-cli's options first: the help text names some of them as examples.
  std::vector<Option> options = cliOptions();
  for (const Option& option : helpOptions(fleetHelpText)) options.push_back(option);
  return script("qav-fleet", options, commands);
}

}  // namespace qav::completion
