// The drive and folder glyphs of the folder chooser's lists, written as 16-colour bitmaps.
#pragma once

#include <string>
#include <vector>

namespace assetgen {

struct Glyph {
  std::string name;                 // resource name, also the file name without ".bmp"
  std::vector<std::string> rows;    // top row first; one letter per pixel, see Glyphs.cpp
};

/// FLOPPY, HARD, NETWORK, CDROM, RAM (16 x 11) and OPENFOLDER, CURRENTFOLDER, CLOSEDFOLDER
/// (16 x 15). Each has its bottom-left pixel in the transparent colour.
const std::vector<Glyph>& AllGlyphs();

/// Writes a 4-bit BMP (bottom-up, 16-entry palette). Throws on a bad letter or a failed write.
void WriteGlyphBmp(const Glyph& glyph, const std::string& path);

}  // namespace assetgen
