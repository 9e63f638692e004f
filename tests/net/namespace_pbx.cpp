#include "namespace_pbx.h"

#include <unistd.h>

#include <regex>
#include <stdexcept>

#include "shell_word.h"
#include "test_pbx.h"

namespace qav::testing {

NamespacePbx::NamespacePbx(const std::string& ns, const std::string& address, const std::string& directory)
    : inNamespace(ns), workDirectory(directory) {
  const std::string output = runCommand("ip netns exec " + shellWord(ns) + " env PBX_ADDRESS=" + shellWord(address) +
                                        " " + pbxScript() + " start " + shellWord(directory) + " " +
                                        std::to_string(getpid()) + " 2>&1");
  std::smatch match;
  if (!std::regex_search(output, match, std::regex("udp=(\\d+) tcp=\\d+ tls=\\d+"))) {
    runCommand(pbxScript() + " stop " + shellWord(directory) + " 2>&1");
    throw std::runtime_error("the PBX did not start in " + ns + ": " + output);
  }
  udp = static_cast<std::uint16_t>(std::stoi(match[1]));
}

NamespacePbx::~NamespacePbx() { runCommand(pbxScript() + " stop " + shellWord(workDirectory) + " 2>&1"); }

std::string NamespacePbx::locations() const {
  return runCommand(pbxScript() + " locations " + shellWord(workDirectory) + " 2>&1");
}

bool NamespacePbx::hasLocation(const std::string& user) const {
  return locations().find("AoR: " + user) != std::string::npos;
}

}  // namespace qav::testing
