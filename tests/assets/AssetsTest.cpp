// Checks the committed page pictures and list glyphs in assets/: the GIF format the pages
// decode, the shared window outline, buttons under every hotspot, plain areas under run-time
// labels, and the 4-bit glyph bitmaps.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

const std::string kAssets = ASSETS_DIR;

constexpr int kWidth = 819, kHeight = 704;
constexpr int kTransparent = 255;
constexpr int kSharedTransparentCount = 217497;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

// Decodes a whole GIF with giflib (rows come back de-interlaced); fails the test if it cannot.
GifPtr Slurp(const std::string& name) {
  int error = 0;
  GifPtr gif(DGifOpenFileName((kAssets + "/" + name).c_str(), &error));
  EXPECT_NE(gif, nullptr) << name << ": " << GifErrorString(error);
  if (!gif) return nullptr;
  EXPECT_EQ(DGifSlurp(gif.get()), GIF_OK) << name << ": " << GifErrorString(gif->Error);
  return gif;
}

// The first image's pixels, or an empty vector when the file does not have a whole one.
std::vector<uint8_t> Pixels(const GifFileType* gif) {
  if (!gif || gif->ImageCount < 1 || gif->SavedImages[0].ImageDesc.Width != kWidth ||
      gif->SavedImages[0].ImageDesc.Height != kHeight)
    return {};
  const uint8_t* bits = gif->SavedImages[0].RasterBits;
  return std::vector<uint8_t>(bits, bits + size_t(kWidth) * kHeight);
}

struct Rect {
  int left, top, width, height;  // as in a page's control table
};

struct Bounds {
  int x0, y0, x1, y1;  // inclusive
  bool operator==(const Bounds&) const = default;
};

Bounds OpaqueBounds(const std::vector<uint8_t>& px) {
  Bounds b{kWidth, kHeight, -1, -1};
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (px[size_t(y) * kWidth + x] != kTransparent) {
        b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y);
        b.x1 = std::max(b.x1, x), b.y1 = std::max(b.y1, y);
      }
  return b;
}

long CountTransparent(const std::vector<uint8_t>& px) {
  long n = 0;
  for (uint8_t p : px) n += p == kTransparent;
  return n;
}

// The page's background: the most frequent opaque index.
int PanelIndex(const std::vector<uint8_t>& px) {
  std::array<long, 256> count{};
  for (uint8_t p : px)
    if (p != kTransparent) ++count[p];
  return int(std::max_element(count.begin(), count.end()) - count.begin());
}

// A 15- or 16-bit display keeps the top five bits of each channel; a colour that matches
// silver there would turn see-through in a colour-keyed window.
bool MergesWithSilver(int r, int g, int b) { return (r >> 3) == (192 >> 3) && (g >> 3) == (192 >> 3) && (b >> 3) == (192 >> 3); }

const char* const kAllPictures[] = {"welcome.gif", "install.gif", "finish6.gif", "finish5.gif", "exit.gif", "chooser.gif"};
const char* const kSharedOutlinePictures[] = {"welcome.gif", "install.gif", "finish6.gif", "finish5.gif", "exit.gif"};

// Test names from file names: "finish6.gif" -> "finish6_gif".
std::string NameOf(std::string text) {
  for (char& c : text)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return text;
}

// ---- Format of every picture.

class PictureFormat : public ::testing::TestWithParam<const char*> {};

TEST_P(PictureFormat, IsGif89aWithTheLogicalScreenSize) {
  const std::string bytes = ReadFile(kAssets + "/" + GetParam());
  ASSERT_GE(bytes.size(), 13u);
  EXPECT_EQ(bytes.substr(0, 6), "GIF89a");
  GifPtr gif = Slurp(GetParam());
  ASSERT_TRUE(gif);
  EXPECT_EQ(gif->SWidth, kWidth);
  EXPECT_EQ(gif->SHeight, kHeight);
}

TEST_P(PictureFormat, HasA256EntryGlobalTableWithoutTheKeyColour) {
  GifPtr gif = Slurp(GetParam());
  ASSERT_TRUE(gif);
  ASSERT_NE(gif->SColorMap, nullptr);
  ASSERT_EQ(gif->SColorMap->ColorCount, 256);
  for (int i = 0; i < 256; ++i) {
    const GifColorType c = gif->SColorMap->Colors[i];
    EXPECT_FALSE(c.Red == 192 && c.Green == 192 && c.Blue == 192) << "entry " << i << " is silver";
    EXPECT_FALSE(MergesWithSilver(c.Red, c.Green, c.Blue))
        << "entry " << i << " (" << int(c.Red) << "," << int(c.Green) << "," << int(c.Blue) << ") is silver on a 16-bit display";
  }
}

TEST_P(PictureFormat, HasExactlyOneInterlacedFullImage) {
  GifPtr gif = Slurp(GetParam());
  ASSERT_TRUE(gif);
  ASSERT_EQ(gif->ImageCount, 1);
  const GifImageDesc& d = gif->SavedImages[0].ImageDesc;
  EXPECT_EQ(d.Left, 0);
  EXPECT_EQ(d.Top, 0);
  EXPECT_EQ(d.Width, kWidth);
  EXPECT_EQ(d.Height, kHeight);
  EXPECT_TRUE(d.Interlace);
  EXPECT_EQ(d.ColorMap, nullptr) << "a local colour table would override the global one";
}

TEST_P(PictureFormat, HasOneGraphicControlExtensionAndNoOther) {
  GifPtr gif = Slurp(GetParam());
  ASSERT_TRUE(gif);
  ASSERT_EQ(gif->ImageCount, 1);
  EXPECT_EQ(gif->ExtensionBlockCount, 0) << "extensions after the image";
  const SavedImage& image = gif->SavedImages[0];
  ASSERT_EQ(image.ExtensionBlockCount, 1);
  const ExtensionBlock& block = image.ExtensionBlocks[0];
  ASSERT_EQ(block.Function, GRAPHICS_EXT_FUNC_CODE);
  ASSERT_EQ(block.ByteCount, 4);
  EXPECT_EQ(block.Bytes[0] & 0x01, 0x01) << "transparency flag";
  GraphicsControlBlock gcb{};
  ASSERT_EQ(DGifExtensionToGCB(size_t(block.ByteCount), block.Bytes, &gcb), GIF_OK);
  EXPECT_EQ(gcb.TransparentColor, kTransparent);
  EXPECT_EQ(gcb.DelayTime, 0);
  EXPECT_EQ(gcb.DisposalMode, DISPOSAL_UNSPECIFIED);
  EXPECT_FALSE(gcb.UserInputFlag);
}

INSTANTIATE_TEST_SUITE_P(AllPictures, PictureFormat, ::testing::ValuesIn(kAllPictures),
                         [](const ::testing::TestParamInfo<const char*>& info) { return NameOf(info.param); });

// ---- The outline shared by the welcome, install, finish and exit pictures.

class SharedOutline : public ::testing::TestWithParam<const char*> {};

TEST_P(SharedOutline, HasTheExactTransparentCountAndBounds) {
  GifPtr gif = Slurp(GetParam());
  const std::vector<uint8_t> px = Pixels(gif.get());
  ASSERT_FALSE(px.empty());
  EXPECT_EQ(CountTransparent(px), kSharedTransparentCount);
  EXPECT_EQ(OpaqueBounds(px), (Bounds{24, 44, 817, 703}));
}

TEST_P(SharedOutline, IsTheSameAsTheWelcomePicture) {
  // regression guard: a finish picture with another shape would reshape the install window.
  const std::vector<uint8_t> reference = Pixels(Slurp("welcome.gif").get());
  const std::vector<uint8_t> px = Pixels(Slurp(GetParam()).get());
  ASSERT_FALSE(reference.empty());
  ASSERT_FALSE(px.empty());
  long differences = 0;
  for (size_t i = 0; i < px.size(); ++i) differences += (px[i] == kTransparent) != (reference[i] == kTransparent);
  EXPECT_EQ(differences, 0);
}

INSTANTIATE_TEST_SUITE_P(MainPages, SharedOutline, ::testing::ValuesIn(kSharedOutlinePictures),
                         [](const ::testing::TestParamInfo<const char*>& info) { return NameOf(info.param); });

TEST(ChooserOutline, IsItsOwnShapeAroundThePanel) {
  const std::vector<uint8_t> px = Pixels(Slurp("chooser.gif").get());
  ASSERT_FALSE(px.empty());
  const Bounds b = OpaqueBounds(px);
  EXPECT_EQ(b, (Bounds{116, 108, 690, 643}));
  // The white panel (about x 232..574, y 247..616) lies wholly inside the outline.
  for (int y = 247; y <= 616; ++y)
    for (int x = 232; x <= 574; ++x) ASSERT_NE(px[size_t(y) * kWidth + x], kTransparent) << x << "," << y;
  const std::vector<uint8_t> shared = Pixels(Slurp("welcome.gif").get());
  ASSERT_FALSE(shared.empty());
  EXPECT_NE(CountTransparent(px), CountTransparent(shared));
}

// ---- Hotspots: each lies on opaque pixels, with a button drawn under its whole edge.

struct Hotspot {
  const char* picture;
  const char* name;
  Rect client;
  int pictureOffset;  // x of the picture in the page's client area
};

// Client rectangles of the page tables; the 824-pixel pages draw the picture 2 pixels in.
const Hotspot kHotspots[] = {
    {"welcome.gif", "Form1.Next", {474, 533, 83, 35}, 2},
    {"install.gif", "Form3.cancel", {361, 537, 83, 29}, 0},
    {"install.gif", "Form3.Next", {466, 536, 82, 29}, 0},
    {"install.gif", "Form3.change", {305, 381, 128, 26}, 0},
    {"finish6.gif", "Form3.OkExit", {220, 595, 84, 30}, 0},
    {"finish5.gif", "Form3.OkExit", {220, 595, 84, 30}, 0},
    {"exit.gif", "Form5.Ok", {467, 393, 86, 27}, 2},
    {"exit.gif", "Form5.Label1", {363, 393, 85, 25}, 2},
    {"chooser.gif", "Form4.ok", {415, 584, 85, 27}, 0},
    {"chooser.gif", "Form4.cancel", {311, 585, 82, 25}, 0},
};

void PrintTo(const Hotspot& h, std::ostream* os) { *os << h.picture << " " << h.name; }

class HotspotTest : public ::testing::TestWithParam<Hotspot> {};

TEST_P(HotspotTest, LiesOnAButton) {
  const Hotspot& h = GetParam();
  const std::vector<uint8_t> px = Pixels(Slurp(h.picture).get());
  ASSERT_FALSE(px.empty());
  const int panel = PanelIndex(px);
  const int x0 = h.client.left - h.pictureOffset, y0 = h.client.top;
  const int x1 = x0 + h.client.width - 1, y1 = y0 + h.client.height - 1;
  ASSERT_GE(x0, 0);
  ASSERT_LT(x1, kWidth);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const uint8_t p = px[size_t(y) * kWidth + x];
      ASSERT_NE(p, kTransparent) << h.name << " over a see-through pixel at " << x << "," << y;
      // The button's body reaches past every edge of the hotspot, so none of its edge pixels
      // shows the page's background.
      if (x == x0 || x == x1 || y == y0 || y == y1) {
        ASSERT_NE(p, panel) << h.name << ": background at " << x << "," << y << ", no button under the edge";
      }
    }
}

INSTANTIATE_TEST_SUITE_P(AllPages, HotspotTest, ::testing::ValuesIn(kHotspots),
                         [](const ::testing::TestParamInfo<Hotspot>& info) {
                           return NameOf(std::string(info.param.picture) + "_" + info.param.name);
                         });

// ---- Areas under labels whose text is drawn at run time: one plain colour, so the text
// reads on it, and white where the page shows a white box.

struct LabelArea {
  const char* picture;
  const char* name;
  Rect rect;  // picture coordinates
  bool white;
};

const LabelArea kLabelAreas[] = {
    {"install.gif", "path", {295, 333, 306, 28}, true},
    {"install.gif", "Group", {296, 449, 304, 29}, true},
    {"install.gif", "wait", {310, 481, 267, 20}, false},
    {"install.gif", "Gauge1", {293, 496, 309, 14}, false},
    {"install.gif", "FileNameLabel", {284, 513, 331, 20}, false},
    {"chooser.gif", "Label2", {243, 255, 311, 19}, true},
    {"chooser.gif", "figure rows", {261, 539, 286, 31}, true},
};

void PrintTo(const LabelArea& a, std::ostream* os) { *os << a.picture << " " << a.name; }

class LabelAreaTest : public ::testing::TestWithParam<LabelArea> {};

TEST_P(LabelAreaTest, IsOnePlainColour) {
  const LabelArea& a = GetParam();
  GifPtr gif = Slurp(a.picture);
  const std::vector<uint8_t> px = Pixels(gif.get());
  ASSERT_FALSE(px.empty());
  const uint8_t first = px[size_t(a.rect.top) * kWidth + a.rect.left];
  for (int y = a.rect.top; y < a.rect.top + a.rect.height; ++y)
    for (int x = a.rect.left; x < a.rect.left + a.rect.width; ++x)
      ASSERT_EQ(px[size_t(y) * kWidth + x], first) << a.name << ": drawing at " << x << "," << y;
  ASSERT_NE(first, kTransparent);
  const GifColorType c = gif->SColorMap->Colors[first];
  if (a.white) {
    EXPECT_EQ(c.Red, 255);
    EXPECT_EQ(c.Green, 255);
    EXPECT_EQ(c.Blue, 255);
  } else {
    EXPECT_EQ(first, PanelIndex(px)) << a.name << " should show the page's background";
  }
  // Black window text must stand out: the background is light.
  EXPECT_GT(c.Red + c.Green + c.Blue, 3 * 200);
}

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
