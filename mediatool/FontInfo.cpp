// Font names through FreeType. Builds without FreeType (the Windows cross build) report every
// font as unreadable instead of guessing a name.
#include "mediatool/FontInfo.h"

#if MEDIATOOL_HAVE_FREETYPE
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TAGS_H
#include FT_TRUETYPE_TABLES_H
#endif

namespace mediatool {

#if MEDIATOOL_HAVE_FREETYPE
namespace {

bool IsRegularStyle(const std::string& style) {
  return style.empty() || style == "Regular" || style == "Normal" || style == "Book" ||
         style == "Roman";
}

}  // namespace

FontInfo ReadFontInfo(const std::string& bytes) {
  FontInfo info;
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) {
    info.error = "FreeType could not start";
    return info;
  }
  std::string names;
  bool postscriptOutlines = false;
  long faceCount = 1;
  for (long index = 0; index < faceCount; ++index) {
    FT_Face face = nullptr;
    const FT_Error error = FT_New_Memory_Face(
        library, reinterpret_cast<const FT_Byte*>(bytes.data()), static_cast<FT_Long>(bytes.size()),
        index, &face);
    if (error != 0) {
      info.error = "not a font FreeType can read (FreeType error " + std::to_string(error) + ")";
      FT_Done_FreeType(library);
      return info;
    }
    faceCount = face->num_faces;
    std::string name = face->family_name ? face->family_name : "";
    const std::string style = face->style_name ? face->style_name : "";
    if (!IsRegularStyle(style)) name += " " + style;
    if (name.empty()) {
      info.error = "the font has no family name";
      FT_Done_Face(face);
      FT_Done_FreeType(library);
      return info;
    }
    FT_ULong length = 0;
    if (FT_IS_SFNT(face) && FT_Load_Sfnt_Table(face, TTAG_CFF, 0, nullptr, &length) == 0) {
      postscriptOutlines = true;
    }
    if (!names.empty()) names += " & ";
    names += name;
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  info.valid = true;
  info.displayName = names + (postscriptOutlines ? " (OpenType)" : " (TrueType)");
  return info;
}
#else
FontInfo ReadFontInfo(const std::string&) {
  FontInfo info;
  info.error = "this build of mediatool has no FreeType and cannot read fonts";
  return info;
}
#endif

}  // namespace mediatool
