// Font names through FreeType, and through an own reader of the sfnt tables for the builds that
// have no FreeType (the Windows cross builds).
#include "mediatool/FontInfo.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/platform/Unicode.h"

#if MEDIATOOL_HAVE_FREETYPE
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TAGS_H
#include FT_TRUETYPE_TABLES_H
#endif

namespace mediatool {

namespace {

bool IsRegularStyle(const std::string& style) {
  return style.empty() || style == "Regular" || style == "Normal" || style == "Book" ||
         style == "Roman";
}

uint32_t Be(const std::string& b, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | static_cast<unsigned char>(b[at + i]);
  return value;
}

// A name record's big-endian UTF-16, as the program's UTF-8.
std::string Utf16BeToUtf8(const std::string& bytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) units += static_cast<char16_t>(Be(bytes, i, 2));
  return installer::Utf16ToUtf8(std::u16string_view(units));
}

// One face of an sfnt file at `offset`: its family and style names and its outline kind.
bool ReadSfntFace(const std::string& b, size_t offset, std::string& name, bool& postscript, std::string& error) {
  if (offset + 12 > b.size()) {
    error = "damaged font (table directory cut short)";
    return false;
  }
  const uint32_t version = Be(b, offset, 4);
  if (version != 0x00010000 && version != 0x4F54544F /* OTTO */ && version != 0x74727565 /* true */) {
    error = "not a TrueType or OpenType font";
    return false;
  }
  const uint32_t tables = Be(b, offset + 4, 2);
  if (offset + 12 + size_t{tables} * 16 > b.size()) {
    error = "damaged font (table directory cut short)";
    return false;
  }
  size_t nameAt = 0, nameLength = 0;
  postscript = false;
  for (uint32_t i = 0; i < tables; ++i) {
    const size_t record = offset + 12 + size_t{i} * 16;
    const std::string tag = b.substr(record, 4);
    const uint32_t at = Be(b, record + 8, 4), length = Be(b, record + 12, 4);
    if (size_t{at} + length > b.size()) {
      error = "damaged font (table '" + tag + "' lies beyond the end of the file)";
      return false;
    }
    if (tag == "name") nameAt = at, nameLength = length;
    if (tag == "CFF " || tag == "CFF2") postscript = true;
  }
  if (nameLength < 6) {
    error = "damaged font (no name table)";
    return false;
  }
  const std::string table = b.substr(nameAt, nameLength);
  const uint32_t count = Be(table, 2, 2), strings = Be(table, 4, 2);
  if (6 + size_t{count} * 12 > table.size()) {
    error = "damaged font (name table cut short)";
    return false;
  }
  // FreeType's preference: Windows Unicode in US English, any Windows Unicode, Unicode, then
  // Mac Roman English; the typographic family and style (16, 17) before the plain ones (1, 2).
  auto find = [&](uint32_t id) {
    int bestRank = 99;
    std::string best;
    for (uint32_t i = 0; i < count; ++i) {
      const size_t r = 6 + size_t{i} * 12;
      const uint32_t platform = Be(table, r, 2), encoding = Be(table, r + 2, 2), language = Be(table, r + 4, 2);
      if (Be(table, r + 6, 2) != id) continue;
      const size_t length = Be(table, r + 8, 2), at = strings + Be(table, r + 10, 2);
      if (at + length > table.size()) continue;
      int rank = 99;
      if (platform == 3 && (encoding == 1 || encoding == 10)) rank = language == 0x409 ? 0 : 1;
      else if (platform == 0) rank = 2;
      else if (platform == 1 && encoding == 0 && language == 0) rank = 3;
      if (rank < bestRank) {
        bestRank = rank;
        const std::string raw = table.substr(at, length);
        best = rank == 3 ? raw : Utf16BeToUtf8(raw);
      }
    }
    return best;
  };
  std::string family = find(16), style = find(17);
  if (family.empty()) family = find(1);
  if (style.empty()) style = find(2);
  if (family.empty()) {
    error = "the font has no family name";
    return false;
  }
  name = IsRegularStyle(style) ? family : family + " " + style;
  return true;
}

}  // namespace

FontInfo ReadSfntFontInfo(const std::string& bytes) {
  FontInfo info;
  std::vector<size_t> offsets = {0};
  if (bytes.size() >= 12 && bytes.compare(0, 4, "ttcf") == 0) {
    const uint32_t faces = Be(bytes, 8, 4);
    if (faces == 0 || 12 + size_t{faces} * 4 > bytes.size()) {
      info.error = "damaged font collection";
      return info;
    }
    offsets.clear();
    for (uint32_t i = 0; i < faces; ++i) offsets.push_back(Be(bytes, 12 + size_t{i} * 4, 4));
  }
  std::string names;
  bool anyPostscript = false;
  for (const size_t offset : offsets) {
    std::string name;
    bool postscript = false;
    if (!ReadSfntFace(bytes, offset, name, postscript, info.error)) return info;
    anyPostscript = anyPostscript || postscript;
    names += (names.empty() ? "" : " & ") + name;
  }
  info.valid = true;
  info.displayName = names + (anyPostscript ? " (OpenType)" : " (TrueType)");
  return info;
}

#if MEDIATOOL_HAVE_FREETYPE
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
FontInfo ReadFontInfo(const std::string& bytes) { return ReadSfntFontInfo(bytes); }
#endif

}  // namespace mediatool
