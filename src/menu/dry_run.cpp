#include "menu/dry_run.h"

#include <stdexcept>

#include "menu/cli_invocation.h"

namespace qav::menu {

bool isHelpHint(const std::string& errorLine) {
  return errorLine == "Mit --help werden alle Optionen angezeigt.";
}

DryRunResult runDryRun(const std::string& cliPath, const Settings& settings) {
  DryRunResult result;
  try {
    const RunConfigFile file(settings);
    OutlineCollector collector;
    result.exit = runChild(
        cliCall(cliPath, file.path(), settings, true),
        [&](const std::string& line) {
          result.outputLines.push_back(line);
          if (auto event = parseCliEvent(line)) collector.observe(*event);
        },
        [&](const std::string& line) {
          if (!isHelpHint(line)) result.errors.push_back(line);
        });
    result.outline = collector.outline();
  } catch (const std::runtime_error& error) {
    result.exit = {true, 127, 0};
    result.errors.push_back(std::string("Fehler: ") + error.what());
  }
  return result;
}

}  // namespace qav::menu
