// The picture checker on a vendor's folder: the committed pictures pass, each kind of bad
// picture (made from a good one here) gives its one rule, and no damaged file crashes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "Palette.h"
#include "PictureRules.h"

namespace assetgen {
void PrintTo(const PictureProblem& p, std::ostream* os) { *os << p.file << ": " << p.rule << ": " << p.detail; }
}  // namespace assetgen

namespace {

using namespace assetgen;
namespace fs = std::filesystem;

const std::string kAssets = ASSETS_DIR;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

// The picture's own pixels and palette, to be changed and written back through the generator's
// encoder (which always writes an interlaced image with the graphic control extension).
IndexedPicture Decode(const fs::path& path) {
  std::string error;
  const std::optional<GifPicture> gif = ReadGif(path.string(), &error);
  EXPECT_TRUE(gif) << error;
  IndexedPicture picture;
  if (!gif) return picture;
  picture.width = gif->screenWidth, picture.height = gif->screenHeight;
  picture.pixels = gif->pixels;
  for (size_t i = 0; i < gif->palette.size() && i < 256; ++i)
    picture.palette[i] = Rgb8{gif->palette[i].r, gif->palette[i].g, gif->palette[i].b};
  return picture;
}

uint8_t& At(IndexedPicture& p, int x, int y) { return p.pixels[size_t(y) * size_t(p.width) + size_t(x)]; }

int FirstOpaque(IndexedPicture& p, int y) {
  for (int x = 0; x < p.width; ++x)
    if (At(p, x, y) != kTransparentIndex) return x;
  return -1;
}

// Where the graphic control extension of our pictures sits: after the 13-byte header and the
// 768-byte global table.
constexpr size_t kControl = 13 + 768;

using Change = std::function<void(const fs::path& file)>;

struct BadPicture {
  const char* name;
  const char* file;
  Change change;
  const char* rule;
};

void PrintTo(const BadPicture& b, std::ostream* os) { *os << b.name; }

const BadPicture kBadPictures[] = {
    {"WrongSize", "install.gif",
     [](const fs::path& f) {
       // A vendor's picture at another size: consistent in itself, so only the size is wrong.
       const IndexedPicture full = Decode(f);
       IndexedPicture small = full;
       small.width = 800, small.height = 600;
       small.pixels.clear();
       for (int y = 0; y < 600; ++y)
         for (int x = 0; x < 800; ++x) small.pixels.push_back(full.pixels[size_t(y) * 819 + size_t(x)]);
       WriteGif(small, f.string());
     },
     rule::kSize},
    {"KeyColourInPalette", "welcome.gif",
     [](const fs::path& f) {
       std::string b = ReadFile(f);
       b[13] = b[14] = b[15] = char(192);  // entry 0
       WriteFile(f, b);
     },
     rule::kPalette},
    {"TransparentIndexNot255", "finish6.gif",
     [](const fs::path& f) {
       std::string b = ReadFile(f);
       ASSERT_EQ(b.substr(kControl, 3), std::string("\x21\xF9\x04", 3));
       b[kControl + 6] = 0;
       WriteFile(f, b);
     },
     rule::kTransparency},
    {"SecondExtension", "exit.gif",
     [](const fs::path& f) {
       std::string b = ReadFile(f);
       b.insert(kControl + 8, std::string("\x21\xFE\x03" "abc\x00", 7));  // a comment before the image
       WriteFile(f, b);
     },
     rule::kTransparency},
    {"Gif87a", "finish5.gif",
     [](const fs::path& f) {
       std::string b = ReadFile(f);
       b.replace(3, 3, "87a");
       WriteFile(f, b);
     },
     rule::kFormat},
    {"OutlineCountChanged", "exit.gif",
     [](const fs::path& f) {
       IndexedPicture p = Decode(f);
       At(p, FirstOpaque(p, 300), 300) = kTransparentIndex;
       WriteGif(p, f.string());
     },
     rule::kOutline},
    {"WelcomeOutlineMoved", "welcome.gif",
     [](const fs::path& f) {
       // Same count and bounds, another shape: the four others still share theirs, so the
       // welcome picture is the one named.
       IndexedPicture p = Decode(f);
       const int left = FirstOpaque(p, 300);
       const uint8_t rim = At(p, left, 300);
       At(p, left, 300) = kTransparentIndex;
       At(p, left - 1, 400) = rim;
       WriteGif(p, f.string());
     },
     rule::kOutline},
    {"ChooserOutlineCut", "chooser.gif",
     [](const fs::path& f) {
       IndexedPicture p = Decode(f);
       At(p, 400, 400) = kTransparentIndex;  // a hole in the panel
       WriteGif(p, f.string());
     },
     rule::kOutline},
    {"HotspotPaintedOver", "install.gif",
     [](const fs::path& f) {
       IndexedPicture p = Decode(f);
       const uint8_t panel = At(p, 310, 481);  // under the `wait` label
       for (int y = 381; y < 381 + 26; ++y)
         for (int x = 305; x < 305 + 128; ++x) At(p, x, y) = panel;  // Form3.change
       WriteGif(p, f.string());
     },
     rule::kHotspot},
    {"LabelAreaTwoColoured", "install.gif",
     [](const fs::path& f) {
       IndexedPicture p = Decode(f);
       At(p, 400, 520) = At(p, FirstOpaque(p, 300), 300);  // a rim pixel under FileNameLabel
       WriteGif(p, f.string());
     },
     rule::kLabelArea},
    {"WhiteBoxNotWhite", "chooser.gif",
     [](const fs::path& f) {
       std::string b = ReadFile(f);
       IndexedPicture p = Decode(f);
       const uint8_t white = At(p, 300, 260);  // under Label2
       b[13 + 3 * white + 2] = char(250);      // a pale yellow, one plain colour still
       WriteFile(f, b);
     },
     rule::kLabelArea},
    {"RemoveHotspotPaintedOver", "remove1.gif",
     [](const fs::path& f) {
       IndexedPicture p = Decode(f);
       const uint8_t panel = At(p, 300, 480);  // between the buttons and the star
       for (int y = 423; y < 423 + 27; ++y)
         for (int x = 361; x < 361 + 86; ++x) At(p, x, y) = panel;  // Remove.No, client x less 2
       WriteGif(p, f.string());
     },
     rule::kHotspot},
    {"RemoveKeptFoldersCornerRounded", "remove3.gif",
     [](const fs::path& f) {
       // The box's border reaching into the last corner of the list's area.
       IndexedPicture p = Decode(f);
       At(p, 667, 567) = At(p, 237, 400);
       WriteGif(p, f.string());
     },
     rule::kLabelArea},
    {"RemoveOutlineCut", "remove2.gif",
     [](const fs::path& f) {
       IndexedPicture p = Decode(f);
       At(p, FirstOpaque(p, 500), 500) = kTransparentIndex;
       WriteGif(p, f.string());
     },
     rule::kOutline},
    {"Missing", "chooser.gif", [](const fs::path& f) { fs::remove(f); }, rule::kMissing},
    {"NotAGif", "finish5.gif", [](const fs::path& f) { WriteFile(f, "Telmorquistan setup picture\n"); }, rule::kFormat},
    {"Truncated", "welcome.gif",
     [](const fs::path& f) {
       const std::string b = ReadFile(f);
       WriteFile(f, b.substr(0, b.size() / 2));
     },
     rule::kFormat},
};

class CheckPicturesTest : public ::testing::TestWithParam<BadPicture> {
 protected:
  // A copy of the committed pictures, the uninstaller's too, one folder per test.
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("picture-rules-" + std::to_string(getpid()) + "-" + GetParam().name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const char* file : kPictureFiles) fs::copy_file(fs::path(kAssets) / file, dir_ / file);
    for (const char* file : kOptionalPictureFiles) fs::copy_file(fs::path(kAssets) / file, dir_ / file);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
};

TEST(CheckPictures, CommittedPicturesHaveNoProblem) {
  const std::vector<PictureProblem> problems = CheckPictures(kAssets);
  for (const PictureProblem& p : problems) ADD_FAILURE() << ::testing::PrintToString(p);
}

TEST_P(CheckPicturesTest, GivesItsOneRule) {
  const BadPicture& bad = GetParam();
  bad.change(dir_ / bad.file);
  ASSERT_FALSE(HasFatalFailure());
  const std::vector<PictureProblem> problems = CheckPictures(dir_.string());
  ASSERT_EQ(problems.size(), 1u) << ::testing::PrintToString(problems);
  EXPECT_EQ(problems[0].file, bad.file);
  EXPECT_EQ(problems[0].rule, bad.rule) << problems[0].detail;
  EXPECT_FALSE(problems[0].detail.empty());
}

INSTANTIATE_TEST_SUITE_P(BadPictures, CheckPicturesTest, ::testing::ValuesIn(kBadPictures),
                         [](const ::testing::TestParamInfo<BadPicture>& info) { return std::string(info.param.name); });

TEST(CheckPictures, AnEmptyFolderHasSixMissingPictures) {
  const fs::path dir = fs::temp_directory_path() / ("picture-rules-empty-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::vector<PictureProblem> problems = CheckPictures(dir.string());
  fs::remove_all(dir);
  ASSERT_EQ(problems.size(), 6u);
  for (size_t i = 0; i < problems.size(); ++i) {
    EXPECT_EQ(problems[i].file, kPictureFiles[i]);
    EXPECT_EQ(problems[i].rule, rule::kMissing);
  }
}

// A vendor's folder made before the uninstaller had pictures holds the six only; one may also
// hold some of the uninstaller's pictures and not the others.
TEST(CheckPictures, AFolderWithoutTheUninstallersPicturesHasNoProblem) {
  const std::vector<std::vector<const char*>> leftOut = {
      {"remove1.gif", "remove2.gif", "remove3.gif"},
      {"remove2.gif"},
  };
  for (const std::vector<const char*>& files : leftOut) {
    const fs::path dir = fs::temp_directory_path() / ("picture-rules-without-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const char* file : kPictureFiles) fs::copy_file(fs::path(kAssets) / file, dir / file);
    for (const char* file : kOptionalPictureFiles)
      if (std::find(files.begin(), files.end(), std::string(file)) == files.end())
        fs::copy_file(fs::path(kAssets) / file, dir / file);
    const std::vector<PictureProblem> problems = CheckPictures(dir.string());
    EXPECT_TRUE(problems.empty()) << files.size() << " left out: " << ::testing::PrintToString(problems);
    fs::remove_all(dir);
  }
}

// Damaged files: every cut-short copy is a format problem, and whatever a changed byte makes
// of the file, reading it and applying every rule to it ends in an answer, never a crash.
TEST(ReadGif, CutShortOrChangedFilesAreAnsweredNotCrashedOn) {
  const std::string good = ReadFile(fs::path(kAssets) / "install.gif");
  const fs::path file = fs::temp_directory_path() / ("picture-rules-damaged-" + std::to_string(getpid()) + ".gif");
  int noticed = 0;  // changed files that some rule finds wrong
  auto readAndCheck = [&](const std::string& bytes, std::string* error) {
    WriteFile(file, bytes);
    std::optional<GifPicture> p = ReadGif(file.string(), error);
    if (!p) return false;
    std::string all = CheckFormat(*p) + CheckSize(*p) + CheckPalette(*p) + CheckImage(*p) + CheckTransparency(*p) +
                      CheckSharedOutline(*p);
    CheckChooserOutline(*p);  // applied for its reading only: install.gif never has that shape
    for (const Hotspot& h : kHotspots)
      if (h.picture == std::string("install.gif")) all += CheckHotspot(*p, h);
    for (const LabelArea& a : kLabelAreas)
      if (a.picture == std::string("install.gif")) all += CheckLabelArea(*p, a);
    noticed += !all.empty();
    return true;
  };
  std::vector<size_t> cuts = {0, 1, 5, 6, 12, 13, 100, 780, 781, 785, 789, 790, 799, good.size() - 2, good.size() - 1};
  for (size_t at = 800; at < good.size(); at += good.size() / 40) cuts.push_back(at);
  for (size_t cut : cuts) {
    std::string error;
    EXPECT_FALSE(readAndCheck(good.substr(0, cut), &error)) << "cut at " << cut;
    EXPECT_FALSE(error.empty()) << "cut at " << cut;
  }
  int read = 0;
  for (size_t at = 0; at < good.size(); at += 1 + at / 4) {
    for (unsigned char value : {0x00, 0xFF, 0x3B, 0x2C}) {
      std::string bytes = good;
      bytes[at] = char(value);
      std::string error;
      read += readAndCheck(bytes, &error);
    }
  }
  EXPECT_GT(read, 0) << "no changed file was read at all";
  EXPECT_GT(noticed, 0) << "no change was found by a rule";
  fs::remove(file);
}

}  // namespace
