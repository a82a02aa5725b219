// Pixel art for the list glyphs and the 4-bit BMP writer. The palette is the classic 16-colour
// one with light grey (212, 208, 200) in place of silver: the lists sit inside a window whose
// silver pixels are see-through, so a silver pixel in a glyph would be a hole.
#include "Glyphs.h"

#include <cstdint>
#include <fstream>
#include <stdexcept>

namespace assetgen {

namespace {

struct Entry {
  char letter;
  uint8_t r, g, b;
};

// Palette order is that of the 16-colour display palette, so the glyphs map well there too.
constexpr Entry kPalette[16] = {
    {'k', 0, 0, 0},       {'m', 128, 0, 0},     {'e', 0, 128, 0},     {'o', 128, 128, 0},
    {'n', 0, 0, 128},     {'p', 128, 0, 128},   {'t', 0, 128, 128},   {'l', 212, 208, 200},
    {'g', 128, 128, 128}, {'r', 255, 0, 0},     {'G', 0, 255, 0},     {'y', 255, 255, 0},
    {'b', 0, 0, 255},     {'.', 255, 0, 255},   {'a', 0, 255, 255},   {'w', 255, 255, 255},
};
// '.' (fuchsia) is the transparent colour: every glyph's bottom-left pixel is '.'.

int IndexOf(char letter) {
  for (int i = 0; i < 16; ++i)
    if (kPalette[i].letter == letter) return i;
  throw std::invalid_argument(std::string("glyph letter not in the palette: ") + letter);
}

void Put16(std::string& out, uint32_t v) {
  out += char(v & 0xFF);
  out += char((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

const std::vector<Glyph>& AllGlyphs() {
  static const std::vector<Glyph> glyphs = {
      {"FLOPPY",
       {"................",
        "................",
        ".kkkkkkkkkkkkkk.",
        "kwwwwwwwwwwwwwlk",
        "kwllllllllllllgk",
        "kwlkkkkkkkkkklgk",
        "kwllllllllllllgk",
        "kwllllllllllGlgk",
        "kggggggggggggggk",
        ".kkkkkkkkkkkkkk.",
        "................"}},
      {"HARD",
       {"................",
        "................",
        ".kkkkkkkkkkkkkk.",
        "kwwwwwwwwwwwwwlk",
        "kwllllllllllllgk",
        "kwllllllllllllgk",
        "kwlgggggggGGllgk",
        "kwllllllllllllgk",
        "kggggggggggggggk",
        ".kkkkkkkkkkkkkk.",
        "................"}},
      {"NETWORK",
       {"................",
        ".kkkkkkkkkkkkkk.",
        "kwwwwwwwwwwwwwlk",
        "kwllllllllllGlgk",
        "kwllllllllllllgk",
        "kggggggggggggggk",
        ".kkkkkkkkkkkkkk.",
        ".......kk.......",
        ".......kk.......",
        "..kkkkkkkkkkkk..",
        "................"}},
      {"CDROM",
       {".....kkkkk......",
        "....kwwwaak.....",
        "...kwwwwaalk....",
        "..kwwwaallllk...",
        "..kwwaggglllk...",
        "..kwaagkglllk...",
        "..klaagggwwwk...",
        "..kllllaawwwk...",
        "...klllaawwk....",
        "....kllaawk.....",
        ".....kkkkk......"}},
      {"RAM",
       {"................",
        "................",
        "kkkkkkkkkkkkkkkk",
        "keeeeeeeeeeeeeek",
        "kekkkekkkekkkeek",
        "kekkkekkkekkkeek",
        "keeeeeeeeeeeeeek",
        "kyoyoyoyoyoyoyok",
        "kkkkkkkkkkkkkkkk",
        "................",
        "................"}},
      {"OPENFOLDER",
       {"................",
        "................",
        "..kkkkk.........",
        ".kywwwyk........",
        "kywwwwwykkkkkk..",
        "kwyyyyyyyyyyyok.",
        "kwykkkkkkkkkkkkk",
        "kwkyyyyyyyyyyyk.",
        "kkyyyyyyyyyyyk..",
        "kyyyyyyyyyyyk...",
        "kyyyyyyyyyok....",
        "kyyyyyyyyok.....",
        "kkkkkkkkkk......",
        "................",
        "................"}},
      {"CURRENTFOLDER",
       {"................",
        ".....kkkkkkkk...",
        "..kkkkwwwwwwk...",
        ".kyyykwggggwk...",
        "kywwwkwwwwwwkkk.",
        "kwyyykwggggwkok.",
        "kwykkkkkkkkkkkkk",
        "kwkyyyyyyyyyyyk.",
        "kkyyyyyyyyyyyk..",
        "kyyyyyyyyyyyk...",
        "kyyyyyyyyyok....",
        "kyyyyyyyyok.....",
        "kkkkkkkkkk......",
        "................",
        "................"}},
      {"CLOSEDFOLDER",
       {"................",
        "................",
        "..kkkkk.........",
        ".kywwwyk........",
        "kywwwwwykkkkkkk.",
        "kwyyyyyyyyyyyyok",
        "kwyyyyyyyyyyyyok",
        "kwyyyyyyyyyyyyok",
        "kwyyyyyyyyyyyyok",
        "kwyyyyyyyyyyyyok",
        "kwyyyyyyyyyyyyok",
        "kwyyyyyyyyyyyyok",
        "kooooooooooooook",
        ".kkkkkkkkkkkkkk.",
        "................"}},
  };
  return glyphs;
}

void WriteGlyphBmp(const Glyph& glyph, const std::string& path) {
  const uint32_t width = uint32_t(glyph.rows.at(0).size()), height = uint32_t(glyph.rows.size());
  const uint32_t stride = (width * 4 + 31) / 32 * 4;  // rows padded to 4 bytes
  const uint32_t pixelOffset = 14 + 40 + 16 * 4;
  const uint32_t fileSize = pixelOffset + stride * height;
  std::string out;
  out += "BM";
  Put32(out, fileSize);
  Put32(out, 0);
  Put32(out, pixelOffset);
  Put32(out, 40);      // BITMAPINFOHEADER
  Put32(out, width);
  Put32(out, height);  // positive: bottom-up, so the first stored pixel is the bottom-left one
  Put16(out, 1);       // planes
  Put16(out, 4);       // bits per pixel
  Put32(out, 0);       // BI_RGB
  Put32(out, stride * height);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 16);      // colours used
  Put32(out, 0);
  for (const Entry& e : kPalette) {
    out += char(e.b);
    out += char(e.g);
    out += char(e.r);
    out += char(0);
  }
  for (uint32_t y = height; y-- > 0;) {
    const std::string& row = glyph.rows[y];
    if (row.size() != width) throw std::invalid_argument(glyph.name + ": rows differ in width");
    std::string packed(stride, '\0');
    for (uint32_t x = 0; x < width; ++x) {
      const int index = IndexOf(row[x]);
      packed[x / 2] = char(packed[x / 2] | (x % 2 ? index : index << 4));
    }
    out += packed;
  }
  std::ofstream file(path, std::ios::binary);
  file.write(out.data(), std::streamsize(out.size()));
  if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace assetgen
