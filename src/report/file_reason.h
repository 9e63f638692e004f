// Why a file could not be written, in the technician's words: the usual
// reasons in German, anything rarer as the system words it.
#pragma once

#include <string>

namespace qav {

// From an errno value.
std::string fileErrorReason(int error);

}  // namespace qav
