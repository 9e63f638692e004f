#include "menu/cli_invocation.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "menu/ini_writer.h"
#include "menu/settings_file.h"

extern char** environ;

namespace qav::menu {

namespace {

std::string temporaryBase() {
  const char* fromEnvironment = std::getenv("TMPDIR");
  if (fromEnvironment != nullptr && *fromEnvironment == '/') return fromEnvironment;
  return "/tmp";
}

}  // namespace

std::string runConfigText(const Settings& settings) {
  return iniText(settings, {"sip-password", "sip-password-env", "json", "dry-run", "color"});
}

RunConfigFile::RunConfigFile(const Settings& settings) {
  const std::string text = runConfigText(settings);
  std::string pattern = temporaryBase() + "/qav-menu-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("Temporäres Verzeichnis kann nicht angelegt werden: " +
                             std::string(std::strerror(errno)));
  directory = pattern;
  filePath = directory + "/qav-cli.conf";
  try {
    writeNewFile(filePath, text, 0600);
  } catch (...) {
    ::rmdir(directory.c_str());
    throw;
  }
}

RunConfigFile::~RunConfigFile() {
  ::unlink(filePath.c_str());
  ::rmdir(directory.c_str());
}

std::vector<std::string> childEnvironment(const std::vector<std::string>& ownEnvironment,
                                          const std::string& password) {
  std::vector<std::string> result;
  for (const std::string& entry : ownEnvironment)
    if (!entry.starts_with("QAV_")) result.push_back(entry);
  if (!password.empty()) result.push_back(std::string(passwordVariable) + "=" + password);
  return result;
}

std::vector<std::string> processEnvironment() {
  std::vector<std::string> result;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
    result.emplace_back(*entry);
  return result;
}

ChildCall cliCall(const std::string& cliPath, const std::string& configPath,
                  const Settings& settings, bool dryRun) {
  ChildCall call;
  call.program = cliPath;
  call.arguments = {"--config", configPath, "--sip-password-env", passwordVariable, "--json"};
  if (dryRun) call.arguments.push_back("--dry-run");
  // A dry run needs no account, so the password stays in the menu.
  call.environment =
      childEnvironment(processEnvironment(), dryRun ? std::string() : settings.sip.password);
  return call;
}

}  // namespace qav::menu
