// The product's title on the pictures: its direction inside the sentences that carry it, the
// fitting of a long one, the titles the fonts cannot draw, and whole generations with a title.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "Assets.h"
#include "Paragraph.h"
#include "PictureRules.h"

namespace {

using namespace assetgen;
namespace fs = std::filesystem;

const std::string kAssets = ASSETS_DIR;
const std::string kFontDir = FONT_DIR;

const char kHeading[] = "به برنامه نصب {title} خوش آمدید";
// 64 characters each: the Persian one with ZWNJ, U+06CC and a hamza above; the Latin one with "&".
const char kPersian64[] = "مجموعهٔ کامل نرم‌افزار آموزش زبان انگلیسی برای کودکان و نوجوانان";
const char kLatin64[] = "Telmorquistan Professional Learning Suite for Schools & Homes 24";

size_t CodePoints(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

struct FontsFixture : ::testing::Test {
  static void SetUpTestSuite() {
    set = new FontSet;
    fonts = Fonts::Load(*set, kFontDir);
  }
  static void TearDownTestSuite() { delete set; }
  static Style Body() { return Style{fonts.naskh, fonts.latin, 17, 17 * 0.78}; }
  static Style Heading() { return Style{fonts.naskhBold, fonts.latinBold, 25, 25 * 0.78}; }

  static inline FontSet* set = nullptr;
  static inline Fonts fonts{};
};

// ---- Direction: runs in visual order, left to right.

struct Piece {
  std::string text;
  bool rtl;
  bool persianFont;
  bool operator==(const Piece&) const = default;
};

void PrintTo(const Piece& p, std::ostream* os) {
  *os << "{\"" << p.text << "\", " << (p.rtl ? "rtl" : "ltr") << ", " << (p.persianFont ? "persian" : "latin") << "}";
}

struct DirectionCase {
  const char* name;
  const char* sentence;
  const char* title;
  std::optional<bool> rtl;
  std::vector<Piece> visual;
};

void PrintTo(const DirectionCase& c, std::ostream* os) { *os << c.name; }

const DirectionCase kDirectionCases[] = {
    {"LatinTitleInPersianSentence", kHeading, "Telmorquistan", true,
     {{" خوش آمدید", true, true}, {"Telmorquistan", false, false}, {"به برنامه نصب ", true, true}}},
    {"PersianTitleInPersianSentence", kHeading, "نرم‌افزار یادگیری", true,
     {{" خوش آمدید", true, true}, {"نرم‌افزار یادگیری", true, true}, {"به برنامه نصب ", true, true}}},
    // Isolated, the "!" stays at the end of the Latin title rather than joining the Persian text.
    {"LatinTitleEndingInPunctuation", "{title} را نصب می‌کند", "Setup 2.0!", true,
     {{" را نصب می‌کند", true, true}, {"Setup 2.0!", false, false}}},
    // Persian digits read left to right inside the right-to-left title.
    {"PersianTitleWithLatinAndDigits", "{title}", "نرم‌افزار Office ۲۰۲۴", std::nullopt,
     {{"۲۰۲۴", false, true}, {" ", true, true}, {"Office", false, false}, {"نرم‌افزار ", true, true}}},
    {"LatinTitleWithPersianInBrackets", "{title}", "Telmorquistan (نسخه ۲) Pro", std::nullopt,
     {{"Telmorquistan (", false, false}, {"۲", false, true}, {"نسخه ", true, true}, {") Pro", false, false}}},
    // Text that looks like code, the title mark included, is drawn as it is.
    {"CodeLikeTitleIsLiteral", "این برنامه {title} را", "printf(\"%s\\n\", x); // {title}", true,
     {{" را", true, true}, {"printf(\"%s\\n\", x); // {title}", false, false}, {"این برنامه ", true, true}}},
};

class DirectionTest : public FontsFixture, public ::testing::WithParamInterface<DirectionCase> {};

TEST_P(DirectionTest, RunsInVisualOrder) {
  const DirectionCase& c = GetParam();
  const Paragraph paragraph(c.sentence, c.title, c.rtl);
  std::vector<Piece> visual;
  for (const assetgen::Run& r : paragraph.VisualRuns(Body(), {0, paragraph.Size()}))
    visual.push_back({r.text, r.rtl, r.font == Body().persian});
  EXPECT_EQ(visual, c.visual);
}

INSTANTIATE_TEST_SUITE_P(Titles, DirectionTest, ::testing::ValuesIn(kDirectionCases),
                         [](const ::testing::TestParamInfo<DirectionCase>& info) { return std::string(info.param.name); });

// ---- Fitting: never cut, never wider than the column.

struct FitCase {
  const char* name;
  const char* title;
  double width;
  int lines;    // expected number of lines
  bool shrunk;  // expected below the full size
};

void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }

const FitCase kFitCases[] = {
    {"SampleTitle", "Telmorquistan", 444, 1, false},
    {"Persian64", kPersian64, 444, 3, false},
    {"Latin64", kLatin64, 444, 3, false},
    {"Unbreakable64", "TelmorquistanTelmorquistanTelmorquistanTelmorquistanTelmorquista", 444, 3, true},
};

class FitTest : public FontsFixture, public ::testing::WithParamInterface<FitCase> {};

TEST_P(FitTest, EveryWordOnALineNoWiderThanTheColumn) {
  const FitCase& c = GetParam();
  const Paragraph paragraph(kHeading, c.title, true);
  const Fitted fitted = Fit(paragraph, Heading(), c.width, {{1, 1}, {1, 2}, {1, 3}}, 0.3);
  ASSERT_EQ(fitted.lines.size(), fitted.ranges.size());
  EXPECT_EQ(int(fitted.lines.size()), c.lines);
  EXPECT_EQ(fitted.scale < 1, c.shrunk) << fitted.scale;
  std::string joined;
  for (size_t i = 0; i < fitted.lines.size(); ++i) {
    EXPECT_LE(fitted.lines[i].advance, c.width) << "line " << i;
    joined += (i ? " " : "") + paragraph.TextOf(fitted.ranges[i]);
  }
  EXPECT_EQ(joined, paragraph.TextOf({0, paragraph.Size()}));
}

INSTANTIATE_TEST_SUITE_P(Titles, FitTest, ::testing::ValuesIn(kFitCases),
                         [](const ::testing::TestParamInfo<FitCase>& info) { return std::string(info.param.name); });

TEST_F(FontsFixture, AWordTooWideAtTheSmallestSizeIsAnErrorNotACut) {
  const Paragraph paragraph(kHeading, "Telmorquistan", true);
  EXPECT_THROW(Fit(paragraph, Heading(), 60, {{1, 1}, {1, 6}}, 0.5), std::runtime_error);
}

// ---- Titles the fonts cannot draw.

struct TitleCase {
  const char* name;
  std::string title;
  const char* problem;  // a part of the message, "" for none
};

void PrintTo(const TitleCase& c, std::ostream* os) { *os << c.name; }

const TitleCase kTitleCases[] = {
    {"Persian", kPersian64, ""},
    {"Latin", kLatin64, ""},
    {"QuotesBackslashPercent", "\"Telm\\orq\" 100% <b>", ""},
    {"Empty", "", "empty"},
    {"OnlyJoinersAndSpaces", " \u200C ", "empty"},
    {"Newline", "Telm\norq", "control character U+000A"},
    {"Chinese", "Telm 中文", "U+4E2D"},
    {"BadByte", "Telm\xFF", "not UTF-8"},
    {"Overlong", "\xC0\xAF", "not UTF-8"},
    {"Surrogate", "\xED\xA0\x80", "not UTF-8"},
    {"CutShort", "\xD9", "not UTF-8"},
};

class TitleProblemTest : public FontsFixture, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(TitleProblemTest, NamesWhatTheFontsCannotDraw) {
  const TitleCase& c = GetParam();
  const std::string problem = TitleProblem(c.title, {Body(), Heading()});
  if (std::string(c.problem).empty()) EXPECT_EQ(problem, "");
  else EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
}

INSTANTIATE_TEST_SUITE_P(Titles, TitleProblemTest, ::testing::ValuesIn(kTitleCases),
                         [](const ::testing::TestParamInfo<TitleCase>& info) { return std::string(info.param.name); });

// ---- Whole generations: the pictures with another title still meet every rule, and carry it.

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Generation {
  const char* name;
  const char* title;
};

void PrintTo(const Generation& g, std::ostream* os) { *os << g.name; }

const Generation kGenerations[] = {
    {"PersianWithYehAndZwnj", "نرم‌افزار یادگیری"},
    {"Persian64", kPersian64},
    {"Latin64", kLatin64},
    // One word wider than the headings' columns at every size their steps name: set smaller still.
    {"Unbreakable64", "TelmorquistanTelmorquistanTelmorquistanTelmorquistanTelmorquista"},
};

// The installer's pictures and the uninstaller's: WriteAssets draws them all.
std::vector<const char*> AllPictureFiles() {
  std::vector<const char*> files(std::begin(kPictureFiles), std::end(kPictureFiles));
  files.insert(files.end(), std::begin(kOptionalPictureFiles), std::end(kOptionalPictureFiles));
  return files;
}

class GenerationTest : public ::testing::TestWithParam<Generation> {
 protected:
  void SetUp() override { dir_ = fs::temp_directory_path() / ("assetgen-title-" + std::to_string(getpid()) + "-" + GetParam().name); }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_P(GenerationTest, MeetsEveryRuleAndDiffersFromTheSample) {
  const std::string title = GetParam().title;
  ASSERT_TRUE(CodePoints(title) == 64 || title.find("\u200C") != std::string::npos);
  WriteAssets(dir_.string(), kFontDir, title);
  std::ostringstream problems;
  for (const PictureProblem& p : CheckPictures(dir_.string())) problems << p.file << ": " << p.rule << ": " << p.detail << "\n";
  EXPECT_EQ(problems.str(), "");
  // Every picture is written and carries the title in its band.
  for (const char* file : AllPictureFiles()) {
    const std::string made = ReadFile(dir_ / file);
    EXPECT_FALSE(made.empty()) << file;
    EXPECT_NE(made, ReadFile(fs::path(kAssets) / file)) << file << " is the sample's";
  }
}

INSTANTIATE_TEST_SUITE_P(Titles, GenerationTest, ::testing::ValuesIn(kGenerations),
                         [](const ::testing::TestParamInfo<Generation>& info) { return std::string(info.param.name); });

TEST(Generation, TheSameTitleGivesTheSameBytes) {
  const fs::path dir = fs::temp_directory_path() / ("assetgen-twice-" + std::to_string(getpid()));
  WriteAssets((dir / "a").string(), kFontDir, kPersian64);
  WriteAssets((dir / "b").string(), kFontDir, kPersian64);
  for (const char* file : AllPictureFiles()) EXPECT_EQ(ReadFile(dir / "a" / file), ReadFile(dir / "b" / file)) << file;
  fs::remove_all(dir);
}

}  // namespace
