#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "engine/platform/Unicode.h"
#include "ui/controls/ListLogic.h"

namespace installer {
namespace {

// One pixel per character makes every limit in the tables a character count.
int CharacterWidth(const std::string& text) { return static_cast<int>(text.size()); }

TEST(FitPathToWidthTest, ShortensByWholeFoldersFromTheLeft) {
  const std::string path = "C:\\Program Files\\Common Files\\System";
  // Each step at exactly its own width, and one pixel less gives the next step.
  const std::vector<std::string> steps = {
      path,
      "C:\\...\\Common Files\\System",
      "C:\\...\\System",
      "...\\System",  // "\...\" loses the drive and becomes "...\"
      "System",
  };
  for (size_t i = 0; i < steps.size(); ++i) {
    const int width = static_cast<int>(steps[i].size());
    EXPECT_EQ(FitPathToWidth(path, width, CharacterWidth), steps[i]) << "limit " << width;
    if (i + 1 < steps.size()) {
      EXPECT_EQ(FitPathToWidth(path, width - 1, CharacterWidth), steps[i + 1])
          << "limit " << width - 1;
    }
  }
  EXPECT_EQ(FitPathToWidth(path, 1000, CharacterWidth), path);
}

TEST(FitPathToWidthTest, EdgeCases) {
  const struct {
    std::string path;
    int limit;
    std::string expected;
  } cases[] = {
      {"C:\\Program Files\\Common Files\\System", 3, "System"},  // a name wider than the limit
      {"C:\\", 3, "C:\\"},
      {"C:\\", 2, "C:"},
      {"C:\\", 1, ""},               // a root has no name: everything can go
      {"D:\\Games", 7, "D:Games"},   // a folder part of just "\" goes before the drive
      {"D:\\Games", 6, "Games"},
      {"\\\\server\\share\\Games", 12, "\\...\\Games"},  // no drive letter: folders only
      {"Games", 1, "Games"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FitPathToWidth(c.path, c.limit, CharacterWidth), c.expected)
        << c.path << " at " << c.limit;
  }
}

// Persian folder names are several bytes per letter: a sweep over every width shows each
// shortened label is whole characters (well-formed UTF-8) and one of the steps by folders.
TEST(FitPathToWidthTest, PersianNamesAreNeverSplit) {
  const std::string path = "C:\\کتابخانه\u200Cی مهدی\\بازی\u200Cها\\نقشه‌ی یک";
  const std::vector<std::string> steps = {
      path,
      "C:\\...\\بازی\u200Cها\\نقشه‌ی یک",
      "C:\\...\\نقشه‌ی یک",
      "...\\نقشه‌ی یک",
      "نقشه‌ی یک",
  };
  // One pixel per character, as a code point count.
  const auto characters = [](const std::string& text) {
    int count = 0;
    for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
  };
  for (int width = 0; width <= characters(path) + 1; ++width) {
    const std::string fitted = FitPathToWidth(path, width, characters);
    EXPECT_TRUE(IsValidUtf8(fitted)) << "limit " << width;
    EXPECT_NE(std::find(steps.begin(), steps.end(), fitted), steps.end())
        << "limit " << width << ": " << fitted;
  }
}

TEST(FitPathToWidthTest, MeasuresWithTheGivenFunction) {
  // A font where the backslash is very wide: shortening must follow the measured width, not
  // the character count.
  auto wideBackslash = [](const std::string& text) {
    int width = 0;
    for (char c : text) width += c == '\\' ? 50 : 1;
    return width;
  };
  EXPECT_EQ(FitPathToWidth("C:\\a\\b\\c", 120, wideBackslash), "C:\\...\\c");
  EXPECT_EQ(FitPathToWidth("C:\\a\\b\\c", 100, wideBackslash), "...\\c");
}

TEST(DriveItemsTest, TextsAndGlyphsByDriveTypeInLetterOrder) {
  const std::map<char, uint32_t> types = {{'A', kDriveRemovable}, {'C', kDriveFixed},
                                          {'D', kDriveCdRom},     {'E', 1},
                                          {'F', kDriveRemote},    {'R', kDriveRamDisk},
                                          {'Z', kDriveRemote},    {'Y', 0}};
  const std::map<char, std::string> labels = {{'C', "System"}, {'F', "data"}, {'R', "RamDisk"}};
  std::string labelQueries;
  DriveQueries queries;
  queries.driveType = [&](char letter) { return types.at(letter); };
  queries.volumeLabel = [&](char letter) {
    labelQueries += letter;
    auto found = labels.find(letter);
    return found == labels.end() ? std::string() : found->second;
  };
  queries.networkName = [](char letter) -> std::optional<std::string> {
    if (letter == 'Z') return std::string("\\\\server\\Share");
    return std::nullopt;
  };
  uint32_t mask = 0;
  for (const auto& [letter, type] : types) mask |= 1u << (letter - 'A');

  const std::vector<DriveItem> items = BuildDriveItems(mask, queries);
  const std::vector<std::pair<std::string, DriveGlyph>> expected = {
      {"A:", DriveGlyph::Floppy},        {"C: [SYSTEM]", DriveGlyph::Hard},
      {"D: []", DriveGlyph::CdRom},      {"F: [DATA]", DriveGlyph::Network},
      {"R: [RAMDISK]", DriveGlyph::Ram}, {"Z: \\\\SERVER\\SHARE", DriveGlyph::Network},
  };
  ASSERT_EQ(items.size(), expected.size());
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].text, expected[i].first);
    EXPECT_EQ(items[i].glyph, expected[i].second) << items[i].text;
  }
  // The removable drive's medium is never touched; a network drive is asked for its label only
  // when the network query fails.
  EXPECT_EQ(labelQueries, "CDFR");

  EXPECT_EQ(FindDriveItem(items, 'd'), 2);
  EXPECT_EQ(FindDriveItem(items, 'Z'), 5);
  EXPECT_EQ(FindDriveItem(items, 'E'), -1);
  EXPECT_TRUE(BuildDriveItems(0, queries).empty());
}

TEST(FolderItemsTest, RootFolder) {
  const std::string root = "C:\\";
  const auto items =
      BuildFolderItems(root, {"Windows", "users", "Program Files", "windows", "Zeta", "alpha"});
  const std::vector<std::string> texts = {"C:\\", "alpha", "Program Files", "users", "Windows",
                                          "Zeta"};
  ASSERT_EQ(items.size(), texts.size());
  for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(items[i].text, texts[i]);
  EXPECT_EQ(items[0].glyph, FolderGlyph::Current);
  EXPECT_EQ(items[1].glyph, FolderGlyph::Closed);
  EXPECT_EQ(OpenFolderIndex(items), 0u);
  EXPECT_EQ(FolderItemPath(root, items, 0), "C:\\");
  EXPECT_EQ(FolderItemPath(root, items, 2), "C:\\Program Files");  // no doubled backslash
  EXPECT_EQ(FolderItemIndent(root, items, 0), 2);
  EXPECT_EQ(FolderItemIndent(root, items, 3), 10);
}

TEST(FolderItemsTest, DeepFolderWithAncestors) {
  const std::string open = "C:\\Program Files\\Common Files";
  const auto items = BuildFolderItems(open, {"System", "Microsoft Shared"});
  const struct {
    std::string text;
    FolderGlyph glyph;
    std::string path;
    int indent;
  } expected[] = {
      {"C:\\", FolderGlyph::Open, "C:\\", 2},
      {"Program Files", FolderGlyph::Open, "C:\\Program Files", 6},
      {"Common Files", FolderGlyph::Current, open, 10},
      {"Microsoft Shared", FolderGlyph::Closed, open + "\\Microsoft Shared", 14},
      {"System", FolderGlyph::Closed, open + "\\System", 14},
  };
  ASSERT_EQ(items.size(), std::size(expected));
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].text, expected[i].text) << i;
    EXPECT_EQ(items[i].glyph, expected[i].glyph) << i;
    EXPECT_EQ(FolderItemPath(open, items, i), expected[i].path) << i;
    EXPECT_EQ(FolderItemIndent(open, items, i), expected[i].indent) << i;
  }
  EXPECT_EQ(OpenFolderIndex(items), 2u);

  const std::string deeper = "D:\\a\\b\\c\\d";
  const auto deepItems = BuildFolderItems(deeper, {});
  ASSERT_EQ(deepItems.size(), 5u);
  EXPECT_EQ(FolderItemPath(deeper, deepItems, 1), "D:\\a");
  EXPECT_EQ(FolderItemPath(deeper, deepItems, 3), "D:\\a\\b\\c");
}

TEST(FolderItemsTest, SortingFoldsCaseAndKeepsNamesOnce) {
  std::vector<std::string> names = {"b", "A", "\xE3\xD3\xED\xD1", "a", "C", "B", "Ab"};
  SortFolderNames(names);
  const std::vector<std::string> expected = {"A", "Ab", "b", "C", "\xE3\xD3\xED\xD1"};
  EXPECT_EQ(names, expected);

  EXPECT_EQ(FolderDisplayText("Program Files", true), "Program Files");
  EXPECT_EQ(FolderDisplayText("Program Files", false), "program files");
  EXPECT_EQ(DrivePart("\\\\server\\share\\dir"), "\\\\server\\share");
}

TEST(TypeAheadTest, PrefixRestartsAfterAPauseAndBackspaceRemoves) {
  TypeAhead typeAhead;
  const struct {
    const char* key;
    uint32_t tick;
    std::string prefix;
  } steps[] = {
      {"p", 1000, "p"},  {"r", 1499, "pr"}, {"o", 1900, "pro"},
      {"\b", 2000, "pr"}, {"c", 2500, "c"},  // 500 ms of pause starts afresh
      {"\b", 2600, ""},  {"\b", 2700, ""},
      {"x", 0xFFFFFFF0u, "x"}, {"y", 0x00000010u, "xy"},  // across the tick count's wrap
      // regression: Backspace took one byte of a Persian letter and left half a character
      {"م", 5000, "م"}, {"ه", 5100, "مه"}, {"ی", 5200, "مهی"}, {"\b", 5300, "مه"},
      {"\u200C", 5400, "مه\u200C"}, {"\b", 5500, "مه"}, {"\b", 5600, "م"},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(typeAhead.Key(step.key, step.tick), step.prefix) << step.tick;
  }

  const std::vector<std::string> texts = {"C:\\", "Program Files", "programs", "Users", "مهدی"};
  EXPECT_EQ(FindItemByPrefix(texts, "مه", 0), 4);
  EXPECT_EQ(FindItemByPrefix(texts, "pro", 0), 1);
  EXPECT_EQ(FindItemByPrefix(texts, "PROG", 2), 2);
  EXPECT_EQ(FindItemByPrefix(texts, "c", 3), 0);  // wraps around
  EXPECT_EQ(FindItemByPrefix(texts, "x", 0), -1);
  EXPECT_EQ(FindItemByPrefix(texts, "", 0), -1);
}

TEST(DiskFiguresTest, KilobytesWithThousandsSeparators) {
  const struct {
    int64_t bytes;
    std::string text;
  } cases[] = {
      {1048576000, "1,024,000"},
      {1023, "0"},
      {1024, "1"},
      {-1, "0"},  // a failed query
      {int64_t{2147483648} * 1024, "2,147,483,648"},
      {std::numeric_limits<int64_t>::max(), "9,007,199,254,740,991"},
      {std::numeric_limits<int64_t>::min(), "9,007,199,254,740,992"},
  };
  for (const auto& c : cases) EXPECT_EQ(DiskFigureText(c.bytes), c.text) << c.bytes;

  EXPECT_EQ(DiskDriveNumber('A'), 1);
  EXPECT_EQ(DiskDriveNumber('C'), 3);
  EXPECT_EQ(DiskDriveNumber('z'), 26);
}

}  // namespace
}  // namespace installer
