#include "settings/action_catalogue.h"

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

namespace qav {
namespace {

TEST(ActionCatalogue, NamesInCatalogueOrder) {
  const std::vector<std::string> names = knownActionNames();
  ASSERT_EQ(names.size(), 22u);
  EXPECT_EQ(names.front(), "clock");
  EXPECT_EQ(names.back(), "bus-address");
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 22u);
}

// The enumeration and the table are kept in the same order by hand; a
// mismatch would give an action the name, code or title of another.
TEST(ActionCatalogue, KindsAndNamesAgree) {
  for (const CatalogueEntry& entry : actionCatalogue()) {
    EXPECT_EQ(actionName(entry.kind), entry.name);
    EXPECT_EQ(actionKindFromName(entry.name), entry.kind);
    EXPECT_EQ(&catalogueEntry(entry.kind), &entry);
  }
  EXPECT_EQ(actionKindFromName("emergency-trigger-2"), ActionKind::EmergencyTrigger2);
  EXPECT_EQ(catalogueEntry(ActionKind::EmergencyTrigger2).title, std::string("Notrufauslöser 2"));
}

TEST(ActionCatalogue, PlanPositionsArePermutation) {
  std::vector<int> positions;
  for (const CatalogueEntry& entry : actionCatalogue()) positions.push_back(entry.planPosition);
  std::sort(positions.begin(), positions.end());
  for (int i = 0; i < 22; ++i) EXPECT_EQ(positions[static_cast<std::size_t>(i)], i + 1);
}

TEST(ActionCatalogue, MatchingIsExact) {
  for (const char* name : {"Clock", "CLOCK", "clock ", " clock", "", "clk", "emergency-trigger"})
    EXPECT_FALSE(actionKindFromName(name).has_value()) << '"' << name << '"';

  const std::vector<std::string> selection{"clock", "clock", "Routine", ""};
  EXPECT_TRUE(isSelected(selection, "clock"));
  EXPECT_FALSE(isSelected(selection, "routine"));
  EXPECT_FALSE(isSelected({}, "clock"));
}

}  // namespace
}  // namespace qav
