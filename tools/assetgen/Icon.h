// The program icon of setup.exe: the header's disc emblem at 16, 32 and 48 pixels.
#pragma once

#include <string>

namespace assetgen {

/// Writes a Windows .ico with 32-bit images (alpha from the emblem's round edge).
void WriteIcon(const std::string& path);

}  // namespace assetgen
