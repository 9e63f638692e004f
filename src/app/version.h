// The program's name and version as --version prints them.
#pragma once

namespace qav {

inline constexpr const char* versionLine = "qav-cli 0.1.2";

}  // namespace qav
