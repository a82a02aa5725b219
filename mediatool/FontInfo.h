// The name Windows gives a font file in its Fonts keys, read from the font's own name table.
#pragma once

#include <string>

namespace mediatool {

struct FontInfo {
  bool valid = false;
  std::string error;        ///< why the file is no readable font
  std::string displayName;  ///< e.g. "Noto Naskh Arabic (TrueType)", "Vazir Bold (TrueType)"
};

/// Reads `bytes` with FreeType: "<family>[ <style>] (TrueType)" for TrueType outlines,
/// "(OpenType)" for PostScript outlines; the faces of a collection joined with " & ".
/// Builds without FreeType (the Windows ones) read the sfnt tables themselves.
FontInfo ReadFontInfo(const std::string& bytes);

/// The same name from this tool's own reader of the sfnt table directory and 'name' table
/// (TrueType and OpenType fonts and collections), following FreeType's choice of names.
FontInfo ReadSfntFontInfo(const std::string& bytes);

}  // namespace mediatool
