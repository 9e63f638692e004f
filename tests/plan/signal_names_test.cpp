#include "tone/signal.h"

#include <climits>
#include <cstdint>

#include <gtest/gtest.h>

namespace qav {
namespace {

Signal fromValue(std::int32_t value) { return static_cast<Signal>(value); }

// Plan segments and the signal queue carry the bare 32-bit value, so the
// names must follow the numbers, and a value from a damaged or newer source
// must still print as something.
TEST(SignalNames, ByFixedValue) {
  EXPECT_EQ(signalName(fromValue(0)), "einfacher Bestätigungston");
  EXPECT_EQ(signalName(fromValue(1)), "doppelter Bestätigungston");
  EXPECT_EQ(signalName(fromValue(2)), "Mehrgeräte-Nachwahlaufforderung");
  EXPECT_EQ(signalName(fromValue(3)), "alternierende Trennfolge");
  EXPECT_EQ(signalName(fromValue(4)), "Parameter-Fehlerton");
  for (const std::int32_t value : {5, 6, -1, INT_MAX, INT_MIN})
    EXPECT_EQ(signalName(fromValue(value)), "unbekannt") << value;
}

// Only the two greetings start a dialogue; the test is on the value with
// bit 1 cleared, which must not let 6 or negative values through.
TEST(SignalNames, StartSignals) {
  EXPECT_TRUE(isStartSignal(Signal::SingleConfirmation));
  EXPECT_TRUE(isStartSignal(Signal::MultiDevicePrompt));
  for (const std::int32_t value : {1, 3, 4, 6, -1, -3, INT_MIN})
    EXPECT_FALSE(isStartSignal(fromValue(value))) << value;
}

}  // namespace
}  // namespace qav
