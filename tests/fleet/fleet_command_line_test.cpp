// Which of qav-fleet's arguments are its own and which go to qav-cli's
// parser, and that a password given there never shows in the journal's copy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fleet/fleet_command_line.h"

namespace qav::fleet {
namespace {

FleetCommandLine parsed(std::vector<const char*> args) {
  args.insert(args.begin(), "qav-fleet");
  return parseFleetCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(FleetCommandLine, OwnOptionsAreTakenAndTheRestIsParsedAsQavCliParsesIt) {
  const FleetCommandLine line =
      parsed({"run", "--parallel=4", "--pin", "--json", "listen/anlagen.csv", "--sip-password", "geheim1",
              "--retry-after", "60", "--sip-password=geheim2", "--ice", "--resume", "--db", "j.db"});
  EXPECT_EQ(line.command, FleetCommand::Run);
  EXPECT_EQ(line.listPath, "listen/anlagen.csv");
  EXPECT_EQ(line.options.parallel, 4u);
  EXPECT_EQ(line.options.retryAfter, std::chrono::seconds(60));
  EXPECT_EQ(line.options.dbPath, "j.db");
  EXPECT_TRUE(line.options.resume);
  // As for qav-cli, the word after --pin is its value, not the flag.
  EXPECT_FALSE(line.options.json);
  EXPECT_EQ(line.common.options, (SettingMap{{"pin", "--json"}, {"sip-ice", "true"}, {"sip-password", "geheim2"}}));
  EXPECT_EQ(line.shownArguments,
            "--parallel 4 --pin --json listen/anlagen.csv --sip-password *** --retry-after 60 "
            "--sip-password=*** --ice --resume --db j.db");
  EXPECT_EQ(defaultDatabasePath(line.listPath), "listen/qav-fleet.db");
  EXPECT_EQ(defaultDatabasePath("anlagen.csv"), "qav-fleet.db");
}

}  // namespace
}  // namespace qav::fleet
