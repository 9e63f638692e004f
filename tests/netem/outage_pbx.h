// The test PBX inside the wan namespace for outage tests: killed without a
// word, or restarted on the same ports.
#pragma once

#include <string>

#include "namespace_pbx.h"
#include "test_lab.h"

namespace qav::netem {

class OutagePbx : public qav::testing::NamespacePbx {
 public:
  OutagePbx(const qav::testing::NetworkLab& lab, const std::string& directory);

  // SIGKILL for kamailio and its workers: the PBX is gone without a word.
  void kill();
  // Stopped, then started again from the same configuration, so on the same
  // ports and address, without its location table.
  void restart();
  bool listening() const;

 private:
  void startAgain();
};

}  // namespace qav::netem
