#include "namespace_pbx.h"

#include <unistd.h>

#include <regex>
#include <stdexcept>

namespace qav::nat {

using qav::testing::pbxScript;
using qav::testing::runCommand;

NamespacePbx::NamespacePbx(const std::string& ns, const std::string& address) {
  const std::string output = runCommand("PBX_ADDRESS=" + address + " ip netns exec " + ns + " " + pbxScript() +
                                        " start " + directory() + " " + std::to_string(getpid()) + " 2>&1");
  std::smatch match;
  if (!std::regex_search(output, match, std::regex("udp=(\\d+) tcp=\\d+ tls=\\d+"))) {
    runCommand(pbxScript() + " stop " + directory());
    throw std::runtime_error("the PBX did not start in " + ns + ": " + output);
  }
  udp = static_cast<std::uint16_t>(std::stoi(match[1]));
}

NamespacePbx::~NamespacePbx() { runCommand(pbxScript() + " stop " + directory()); }

std::string NamespacePbx::locations() const { return runCommand(pbxScript() + " locations " + directory() + " 2>&1"); }

bool NamespacePbx::hasLocation(const std::string& user) const {
  return locations().find("AoR: " + user) != std::string::npos;
}

}  // namespace qav::nat
