#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "qav-sim/device_state_file.h"
#include "temporary_directory.h"

namespace qav::sim {
namespace {

namespace fs = std::filesystem;

class DeviceStateFile : public ::testing::Test {
 protected:
  void write(const std::string& text) const { std::ofstream(file_) << text; }

  const qav::testing::TemporaryDirectory scratch_;
  const fs::path directory_{scratch_.path()};
  const fs::path file_ = directory_ / "qav.json";
};

TEST_F(DeviceStateFile, MissingFileOrKeysGiveFactoryValues) {
  EXPECT_EQ(loadDeviceState(file_), DeviceState{});
  EXPECT_EQ(DeviceState{}.pin, "5831");
  write(R"({"pin": "1234", "bus-address": "3"})");
  DeviceState expected;
  expected.pin = "1234";
  expected.busAddress = "3";
  EXPECT_EQ(loadDeviceState(file_), expected);
}

TEST_F(DeviceStateFile, SavedStateReadsBackAndReplacesTheFileWhole) {
  DeviceState state;
  state.emergencyNumbers = {"112", "", "0800", "#1"};
  state.triggers[2] = {"3", "1", "2"};
  state.z208Id = "00000042";
  state.calibrated = true;
  saveDeviceState(file_, DeviceState{});
  saveDeviceState(file_, state);
  EXPECT_EQ(loadDeviceState(file_), state);
  EXPECT_EQ(std::distance(fs::directory_iterator(directory_), fs::directory_iterator{}), 1);
  EXPECT_THROW(saveDeviceState(directory_ / "missing" / "qav.json", state), std::runtime_error);
}

TEST_F(DeviceStateFile, RejectsWhatIsNotADeviceState) {
  for (const char* text : {"{\"pin\": ", "[1, 2]", R"({"pn": "1234"})", R"({"pin": 1234})",
                           R"({"emergency-numbers": ["1", "2", "3"]})",
                           R"({"emergency-triggers": [{"trigger": "1"}, {}, {}]})"}) {
    write(text);
    EXPECT_THROW(loadDeviceState(file_), std::runtime_error) << text;
  }
}

}  // namespace
}  // namespace qav::sim
