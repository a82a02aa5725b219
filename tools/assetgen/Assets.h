// Writes the installer's assets into a folder: the six page pictures and the uninstaller's three,
// all carrying the product's title, the list glyphs and the program icon.
#pragma once

#include <string>

namespace assetgen {

/// Writes every asset into outputDir (made when missing) with the fonts under fontDir (its noto
/// and dejavu folders). The same fonts, libraries and title give the same bytes on every run.
/// Throws std::runtime_error naming what failed, also for a title the fonts cannot draw.
void WriteAssets(const std::string& outputDir, const std::string& fontDir, const std::string& title);

}  // namespace assetgen
