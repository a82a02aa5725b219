// Checks the committed page pictures and list glyphs in assets/: the pages' picture rules
// (PictureRules.h) one by one, and the 4-bit glyph bitmaps and the icon.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "PictureRules.h"

namespace assetgen {
void PrintTo(const Hotspot& h, std::ostream* os) { *os << h.picture << " " << h.name; }
void PrintTo(const LabelArea& a, std::ostream* os) { *os << a.picture << " " << a.name; }
}  // namespace assetgen

namespace {

using namespace assetgen;

const std::string kAssets = ASSETS_DIR;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Each committed picture read once for all the tests.
const GifPicture& Picture(const std::string& name) {
  static std::map<std::string, GifPicture> read;
  auto it = read.find(name);
  if (it == read.end()) {
    std::string error;
    std::optional<GifPicture> picture = ReadGif(kAssets + "/" + name, &error);
    EXPECT_TRUE(picture) << name << ": " << error;
    it = read.emplace(name, picture ? std::move(*picture) : GifPicture{}).first;
  }
  return it->second;
}

// A 15- or 16-bit display keeps the top five bits of each channel; a colour that matches
// silver there would turn see-through in a colour-keyed window.
bool MergesWithSilver(int r, int g, int b) { return (r >> 3) == (192 >> 3) && (g >> 3) == (192 >> 3) && (b >> 3) == (192 >> 3); }

// Test names from file names: "finish6.gif" -> "finish6_gif".
std::string NameOf(std::string text) {
  for (char& c : text)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return text;
}

// ---- Format of every picture (the rules themselves are tested on bad pictures in
// PictureRulesTest.cpp).

class PictureFormat : public ::testing::TestWithParam<const char*> {};

TEST_P(PictureFormat, IsGif89aWithTheLogicalScreenSize) {
  const GifPicture& p = Picture(GetParam());
  EXPECT_EQ(CheckFormat(p), "");
  EXPECT_EQ(CheckSize(p), "");
}

TEST_P(PictureFormat, HasA256EntryGlobalTableWithoutTheKeyColour) { EXPECT_EQ(CheckPalette(Picture(GetParam())), ""); }

TEST_P(PictureFormat, HasExactlyOneInterlacedFullImage) { EXPECT_EQ(CheckImage(Picture(GetParam())), ""); }

TEST_P(PictureFormat, HasOneGraphicControlExtensionAndNoOther) { EXPECT_EQ(CheckTransparency(Picture(GetParam())), ""); }

// The installer's pictures and the uninstaller's, which assets/ holds too.
std::vector<const char*> AllPictureFiles() {
  std::vector<const char*> files(std::begin(kPictureFiles), std::end(kPictureFiles));
  files.insert(files.end(), std::begin(kOptionalPictureFiles), std::end(kOptionalPictureFiles));
  return files;
}

INSTANTIATE_TEST_SUITE_P(AllPictures, PictureFormat, ::testing::ValuesIn(AllPictureFiles()),
                         [](const ::testing::TestParamInfo<const char*>& info) { return NameOf(info.param); });

// ---- The outline shared by the welcome, install, finish and exit pictures and the uninstaller's.

class SharedOutline : public ::testing::TestWithParam<const char*> {};

TEST_P(SharedOutline, HasTheExactTransparentCountAndBounds) { EXPECT_EQ(CheckSharedOutline(Picture(GetParam())), ""); }

TEST_P(SharedOutline, IsTheSameAsTheWelcomePicture) {
  // regression guard: a finish picture with another shape would reshape the install window.
  EXPECT_EQ(CompareOutlines(Picture(GetParam()), Picture("welcome.gif"), "welcome.gif"), "");
}

INSTANTIATE_TEST_SUITE_P(MainPages, SharedOutline, ::testing::ValuesIn(kSharedOutlineFiles),
                         [](const ::testing::TestParamInfo<const char*>& info) { return NameOf(info.param); });

TEST(ChooserOutline, IsItsOwnShapeAroundThePanel) { EXPECT_EQ(CheckChooserOutline(Picture("chooser.gif")), ""); }

// ---- Hotspots: each lies on opaque pixels, with a button drawn under its whole edge.

class HotspotTest : public ::testing::TestWithParam<Hotspot> {};

TEST_P(HotspotTest, LiesOnAButton) { EXPECT_EQ(CheckHotspot(Picture(GetParam().picture), GetParam()), ""); }

INSTANTIATE_TEST_SUITE_P(AllPages, HotspotTest, ::testing::ValuesIn(kHotspots),
                         [](const ::testing::TestParamInfo<Hotspot>& info) {
                           return NameOf(std::string(info.param.picture) + "_" + info.param.name);
                         });

// ---- Areas under labels whose text is drawn at run time: one plain colour, so the text
// reads on it, and white where the page shows a white box.

class LabelAreaTest : public ::testing::TestWithParam<LabelArea> {};

TEST_P(LabelAreaTest, IsOnePlainColour) { EXPECT_EQ(CheckLabelArea(Picture(GetParam().picture), GetParam()), ""); }

INSTANTIATE_TEST_SUITE_P(RunTimeLabels, LabelAreaTest, ::testing::ValuesIn(kLabelAreas),
                         [](const ::testing::TestParamInfo<LabelArea>& info) {
                           return NameOf(std::string(info.param.picture) + "_" + info.param.name);
                         });

// ---- Glyph bitmaps.

struct GlyphFile {
  const char* name;
  int width, height;
};

const GlyphFile kGlyphs[] = {
    {"FLOPPY", 16, 11},     {"HARD", 16, 11},          {"NETWORK", 16, 11},      {"CDROM", 16, 11},
    {"RAM", 16, 11},        {"OPENFOLDER", 16, 15},    {"CURRENTFOLDER", 16, 15}, {"CLOSEDFOLDER", 16, 15},
};

uint32_t Le(const std::string& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes; i-- > 0;) v = v << 8 | static_cast<unsigned char>(b[at + size_t(i)]);
  return v;
}

void PrintTo(const GlyphFile& g, std::ostream* os) { *os << g.name; }

class GlyphTest : public ::testing::TestWithParam<GlyphFile> {};

TEST_P(GlyphTest, IsA16ColourBitmapOfItsSize) {
  const GlyphFile& g = GetParam();
  const std::string b = ReadFile(kAssets + "/" + g.name + ".bmp");
  ASSERT_GE(b.size(), 54u + 64u) << g.name;
  EXPECT_EQ(b.substr(0, 2), "BM");
  EXPECT_EQ(Le(b, 2, 4), b.size());
  EXPECT_EQ(Le(b, 14, 4), 40u) << "BITMAPINFOHEADER";
  EXPECT_EQ(int32_t(Le(b, 18, 4)), g.width);
  EXPECT_EQ(int32_t(Le(b, 22, 4)), g.height) << "height positive: rows stored bottom-up";
  EXPECT_EQ(Le(b, 26, 2), 1u) << "planes";
  EXPECT_EQ(Le(b, 28, 2), 4u) << "bits per pixel";
  EXPECT_EQ(Le(b, 30, 4), 0u) << "uncompressed";
  const uint32_t colours = Le(b, 46, 4);
  EXPECT_TRUE(colours == 0 || colours == 16);
  const uint32_t stride = (uint32_t(g.width) * 4 + 31) / 32 * 4;
  EXPECT_EQ(Le(b, 10, 4) + stride * uint32_t(g.height), b.size());
}

TEST_P(GlyphTest, HasNoSilverAndADrawingAroundTheTransparentColour) {
  const GlyphFile& g = GetParam();
  const std::string b = ReadFile(kAssets + "/" + g.name + ".bmp");
  ASSERT_GE(b.size(), 54u + 64u);
  // The lists sit inside a colour-keyed page, where silver pixels are see-through.
  for (int i = 0; i < 16; ++i) {
    const int blue = static_cast<unsigned char>(b[54 + 4 * i]), green = static_cast<unsigned char>(b[55 + 4 * i]),
              red = static_cast<unsigned char>(b[56 + 4 * i]);
    EXPECT_FALSE(MergesWithSilver(red, green, blue)) << g.name << " palette entry " << i;
  }
  const uint32_t offset = Le(b, 10, 4);
  const uint32_t stride = (uint32_t(g.width) * 4 + 31) / 32 * 4;
  ASSERT_EQ(offset + stride * uint32_t(g.height), b.size());
  auto pixel = [&](int x, int rowFromBottom) {
    const unsigned char byte = static_cast<unsigned char>(b[offset + uint32_t(rowFromBottom) * stride + uint32_t(x) / 2]);
    return x % 2 ? byte & 0x0F : byte >> 4;
  };
  const int transparent = pixel(0, 0);  // the bottom-left pixel names the transparent colour
  int drawn = 0;
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x) drawn += pixel(x, y) != transparent;
  EXPECT_GE(drawn, g.width * g.height / 4) << g.name << " is mostly empty";
  EXPECT_LT(drawn, g.width * g.height) << g.name << " has no transparent pixels";
}

INSTANTIATE_TEST_SUITE_P(ListGlyphs, GlyphTest, ::testing::ValuesIn(kGlyphs),
                         [](const ::testing::TestParamInfo<GlyphFile>& info) { return std::string(info.param.name); });

}  // namespace


// The program icon: three 32-bit images whose directory entries point inside the file, each
// a 40-byte header with the doubled height and a round, partly see-through emblem.
TEST(ProgramIcon, ThreeRoundImagesOf32Bits) {
  const std::string b = ReadFile(kAssets + "/setup.ico");
  ASSERT_GE(b.size(), 6u + 3 * 16);
  EXPECT_EQ(Le(b, 0, 2), 0u);
  EXPECT_EQ(Le(b, 2, 2), 1u);
  ASSERT_EQ(Le(b, 4, 2), 3u);
  const uint32_t sizes[] = {16, 32, 48};
  for (int i = 0; i < 3; ++i) {
    const size_t entry = 6 + 16 * i;
    const uint32_t size = sizes[i];
    EXPECT_EQ(static_cast<uint8_t>(b[entry]), size);
    EXPECT_EQ(Le(b, entry + 6, 2), 32u);
    const uint32_t length = Le(b, entry + 8, 4);
    const uint32_t offset = Le(b, entry + 12, 4);
    ASSERT_LE(size_t(offset) + length, b.size());
    EXPECT_EQ(length, 40 + size * size * 4 + ((size + 31) / 32) * 4 * size);
    EXPECT_EQ(Le(b, offset, 4), 40u);
    EXPECT_EQ(Le(b, offset + 4, 4), size);
    EXPECT_EQ(Le(b, offset + 8, 4), size * 2);
    // Corners are see-through, the centre opaque.
    const size_t pixels = offset + 40;
    EXPECT_EQ(static_cast<uint8_t>(b[pixels + 3]), 0) << size;
    const size_t centre = pixels + ((size / 2) * size + size / 2) * 4;
    EXPECT_EQ(static_cast<uint8_t>(b[centre + 3]), 255) << size;
  }
}
