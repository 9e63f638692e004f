// The device list of a fleet run: a header of qav-cli setting keys and one
// lift a row, its values over the common settings, every row checked by
// qav-cli's own validation before any call.
#pragma once

#include <string>
#include <vector>

#include "fleet/csv_table.h"
#include "fleet/fleet_lift.h"
#include "fleet/list_file.h"
#include "settings/settings.h"

namespace qav::fleet {

// Plain value.
struct DeviceList {
  std::vector<FleetLift> lifts;       // the rows that could be read, in list order
  std::vector<LineFinding> findings;  // by line; none: every lift may be called
};

// Free columns beside the setting keys, kept for the report.
inline constexpr const char* idColumn = "id";
inline constexpr const char* remarkColumn = "bemerkung";

// `callFollows` as for validateSettings: without it (a dry run) the SIP
// account is not required. A file that cannot be read is a finding of the
// whole file.
DeviceList readDeviceList(const std::string& path, const Settings& common, bool callFollows);
DeviceList parseDeviceList(const ListFile& file, const std::string& path, const Settings& common,
                           bool callFollows);

// "Zeile N: message", or the message alone for the whole file.
std::string describe(const LineFinding& finding);

}  // namespace qav::fleet
