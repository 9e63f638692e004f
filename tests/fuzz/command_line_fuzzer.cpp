// The command-line parser against the argument rules: arguments are the
// input split at NUL bytes; the same options and requests, or the same error.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "settings/command_line.h"
#include "settings/setting_values.h"
#include "settings/validation.h"

namespace {

struct ModelResult {
  qav::CommandLine line;
  std::optional<std::string> error;
};

ModelResult modelParse(const std::vector<std::string>& args) {
  ModelResult result;
  auto& options = result.line.options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      result.line.help = true;
    } else if (arg == "--version") {
      result.line.version = true;
    } else if (arg == "--json") {
      options["json"] = "true";
    } else if (arg == "--dry-run") {
      options["dry-run"] = "true";
    } else if (arg == "--ice" || arg == "--no-ice") {
      options["sip-ice"] = arg == "--ice" ? "true" : "false";
    } else if (arg.rfind("--", 0) != 0) {
      result.error = "Unbekanntes Argument: " + arg;
      return result;
    } else {
      const std::string name = arg.substr(2);
      const std::size_t equals = name.find('=');
      const std::string key = name.substr(0, equals);
      if (qav::knownOptionKeys.count(key) == 0) {
        result.error = "Unbekannte Option: --" + key;
        return result;
      }
      if (equals != std::string::npos) {
        options[key] = name.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        options[key] = args[++i];
      } else {
        result.error = "Wert fehlt für --" + key;
        return result;
      }
    }
  }
  return result;
}

std::vector<std::string> splitArguments(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args;
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  args.push_back(current);
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> args = splitArguments(data, size);
  std::vector<const char*> argv{"qav-cli"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);

  const ModelResult expected = modelParse(args);
  try {
    const qav::CommandLine line = qav::parseCommandLine(static_cast<int>(argv.size() - 1), argv.data());
    qav::fuzz::check(!expected.error, "accepted arguments the rules refuse: " + expected.error.value_or(""));
    qav::fuzz::check(line.options == expected.line.options, "options differ from the argument rules");
    qav::fuzz::check(line.help == expected.line.help && line.version == expected.line.version,
                     "help or version request differs");
    qav::Settings settings;
    try {
      qav::applySettingMap(settings, line.options);
    } catch (const std::runtime_error&) {
      return 0;
    }
    (void)qav::validateSettings(settings, !settings.dryRun);
  } catch (const std::runtime_error& error) {
    qav::fuzz::check(expected.error.has_value(), std::string("refused valid arguments: ") + error.what());
    qav::fuzz::check(*expected.error == error.what(), std::string("wrong message: ") + error.what());
  }
  return 0;
}
