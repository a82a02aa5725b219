// cddrive's command line (-o speed=52,buffer=2M,...) and its statistics text, apart from FUSE
// so that they can be tested alone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "DriveModel.h"

namespace cddrive {

/// Takes the drive's own keys out of a comma-separated -o list into parameters and leaves the
/// other options (for FUSE) in passThrough. Returns an error message, or "" when all is well.
/// buffer takes a K or M suffix (1024-based), iface is in MB/s (10^6 bytes), the times in ms.
std::string TakeDriveOptions(std::string_view list, DriveParameters& parameters,
                             std::vector<std::string>& passThrough);

/// The parameters' own sanity: positive speed and rates, no negative time, a disc that
/// holds the image. Returns an error message or "".
std::string CheckDriveParameters(const DriveParameters& parameters, double imageBytes);

/// The stats file: one "name value" line each.
std::string FormatStats(const DriveModel& model);

}  // namespace cddrive
