// The device state as a JSON file, so that the simulator keeps its settings
// between calls and a test can read what a programming call left behind.
#pragma once

#include <filesystem>

#include "qav-sim/device_state.h"

namespace qav::sim {

// A missing file is a device fresh from the factory. Keys left out keep
// their factory values; an unknown key, a wrong type or a malformed file
// throws std::runtime_error naming the file.
DeviceState loadDeviceState(const std::filesystem::path& path);

// Writes a temporary file beside the target and renames it over the target,
// so that a reader sees either the old or the new state, never half a file.
// Throws std::runtime_error when the file cannot be written.
void saveDeviceState(const std::filesystem::path& path, const DeviceState& state);

}  // namespace qav::sim
