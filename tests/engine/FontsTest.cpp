#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/Errors.h"
#include "engine/InstallSteps.h"
#include "engine/platform/ErrorCodes.h"
#include "tests/InstallErrorText.h"
#include "tests/engine/EngineTestSupport.h"

namespace installer {
namespace {

using Strings = std::vector<std::string>;
/// (value name, data) pairs as found under a Fonts key.
using Values = std::vector<std::pair<std::string, std::string>>;

class FontsTest : public ::testing::Test, protected testing::MediumFixture {
 protected:
  void SetUp() override {
    platform.SetEnumerationOrder(MemoryPlatform::EnumerationOrder::ByName);
    platform.AddFolder("D:\\Fonts");
    InitializeSession(session);
  }
  void AddFont(const std::string& name, const std::string& content = "font data") {
    platform.AddFile("D:\\Fonts\\" + name, content);
  }
  /// The values under one Fonts key, data without the terminating NUL.
  Values Key(const char* key) const {
    Values values;
    for (const std::string& name : platform.RegistryValueNames(kHKeyLocalMachine, key)) {
      const auto value = platform.RegistryValue(kHKeyLocalMachine, key, name);
      EXPECT_EQ(value->first, kRegSz);
      EXPECT_EQ(value->second.back(), '\0');
      values.emplace_back(name, value->second.substr(0, value->second.size() - 1));
    }
    return values;
  }
  void ExpectBothKeys(const Values& expected) {
    EXPECT_EQ(Key(kFontsKey), expected);
    EXPECT_EQ(Key(kFontsKeyNt), expected);
  }
};

TEST_F(FontsTest, WithoutListNamesAreFileNamesAndDataFullPaths) {
  AddFont("a.ttf");
  AddFont("b.fon");
  AddFont("empty.ttf", "");
  InstallFonts(session);
  EXPECT_EQ(session.SystemDir, "C:\\WINDOWS\\Fonts\\");
  ExpectBothKeys({{"a.ttf", "C:\\WINDOWS\\Fonts\\a.ttf"}, {"b.fon", "C:\\WINDOWS\\Fonts\\b.fon"}});
  EXPECT_EQ(platform.FileContent("C:\\WINDOWS\\Fonts\\a.ttf"), "font data");
  EXPECT_FALSE(platform.Exists("C:\\WINDOWS\\Fonts\\empty.ttf"));
}

TEST_F(FontsTest, ListPairsAreMatchedByPosition) {
  const struct {
    const char* name;
    std::string list;
    Values expected;
  } cases[] = {
      {"in enumeration order", "a.ttf\nAlpha (TrueType)\nb.ttf\nBeta (TrueType)\n",
       {{"Alpha (TrueType)", "a.ttf"}, {"Beta (TrueType)", "b.ttf"}}},
      // Listed in another order: the names land on the wrong files, by position only.
      {"other order", "b.ttf\nBeta\na.ttf\nAlpha\n", {{"Beta", "b.ttf"}, {"Alpha", "a.ttf"}}},
      // Empty list: every font writes "" into the default value; the last one stays.
      {"empty list", "", {{"", ""}}},
      {"fewer pairs than fonts", "a.ttf\nAlpha\n", {{"Alpha", "a.ttf"}, {"", ""}}},
      // An odd last line leaves its pair without a name: the default value gets its data.
      {"odd line count", "a.ttf\nAlpha\nb.ttf", {{"Alpha", "a.ttf"}, {"", "b.ttf"}}},
  };
  for (const auto& c : cases) {
    testing::MediumFixture medium;
    medium.platform.SetEnumerationOrder(MemoryPlatform::EnumerationOrder::ByName);
    medium.platform.AddFile("D:\\Fonts\\a.ttf", "A");
    medium.platform.AddFile("D:\\Fonts\\b.ttf", "B");
    medium.platform.AddFile("D:\\Fonts\\FONT.TXT", c.list);
    InitializeSession(medium.session);
    InstallFonts(medium.session);
    for (const char* key : {kFontsKey, kFontsKeyNt}) {
      Values values;
      for (const std::string& name : medium.platform.RegistryValueNames(kHKeyLocalMachine, key)) {
        const auto v = medium.platform.RegistryValue(kHKeyLocalMachine, key, name);
        values.emplace_back(name, v->second.substr(0, v->second.size() - 1));
      }
      EXPECT_EQ(values, c.expected) << c.name << " under " << key;
    }
    EXPECT_EQ(medium.platform.FileContent("C:\\WINDOWS\\Fonts\\b.ttf"), "B") << c.name;
    EXPECT_FALSE(medium.platform.Exists("C:\\WINDOWS\\Fonts\\FONT.TXT")) << c.name;
  }
}

// The pair for one font, as the reading rules cut FONT.TXT into lines and read them as code
// page 1256 or, for a list saved as UTF-8, as UTF-8. The registry gets that text as it is, NUL
// inside the data included.
TEST(FontListTest, OddListsGiveThePairTheRulesSay) {
  const struct {
    const char* name;
    std::string list;
    std::pair<std::string, std::string> value;  // (value name, data)
  } cases[] = {
      {"no final line end", "a.ttf\r\nAlpha", {"Alpha", "a.ttf"}},
      {"CR CR LF", "a.ttf\r\r\nAlpha\r\r\n", {"Alpha", "a.ttf"}},
      {"CR-only line ends make one line", "a.ttf\rAlpha\r", {"", "a.ttfAlpha"}},
      {"Ctrl-Z in the name", "a.ttf\nAl\x1Apha\n", {"Al", "a.ttf"}},
      {"Ctrl-Z before the name", "a.ttf\x1A\nAlpha\n", {"", "a.ttf"}},
      {"Ctrl-Z first", "\x1A" "a.ttf\nAlpha\n", {"", ""}},
      {"blanks are kept", " a.ttf \n Alpha\t\n", {" Alpha\t", " a.ttf "}},
      {"code page 1256", "\xC8\xD1\xFF.ttf\n\xE3\xCA\xE4 (TrueType)\n",
       {"متن (TrueType)", "برے.ttf"}},
      {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" "وزیر.ttf\r\nوزیر (TrueType)\r\n",
       {"وزیر (TrueType)", "وزیر.ttf"}},
      {"UTF-8 without one, with ZWNJ", "ایران\u200Cسنس.ttf\nایران\u200Cسنس (TrueType)\n",
       {"ایران\u200Cسنس (TrueType)", "ایران\u200Cسنس.ttf"}},
      {"a byte-order mark before ASCII", "\xEF\xBB\xBF" "a.ttf\nAlpha\n", {"Alpha", "a.ttf"}},
      {"one malformed byte: all code page 1256", "\xD9\x88.ttf\nA\xFF\n", {"Aے", "ظˆ.ttf"}},
      {"bytes after Ctrl-Z are no text", "\xD9\x88.ttf\nA\n\x1A\xFF", {"A", "و.ttf"}},
      {"NUL inside the data", std::string("a\0.ttf\nAlpha\n", 13),
       {"Alpha", std::string("a\0.ttf", 6)}},
      {"empty lines", "\n\n", {"", ""}},
      {"empty file", "", {"", ""}},
  };
  for (const auto& c : cases) {
    testing::MediumFixture medium;
    medium.platform.AddFile("D:\\Fonts\\a.ttf", "A");
    medium.platform.AddFile("D:\\Fonts\\FONT.TXT", c.list);
    InitializeSession(medium.session);
    InstallFonts(medium.session);
    for (const char* key : {kFontsKey, kFontsKeyNt}) {
      EXPECT_EQ(medium.platform.RegistryValueNames(kHKeyLocalMachine, key),
                (Strings{c.value.first}))
          << c.name << " under " << key;
      EXPECT_EQ(medium.platform.RegistryValue(kHKeyLocalMachine, key, c.value.first),
                std::make_pair(kRegSz, c.value.second + '\0'))
          << c.name << " under " << key;
    }
    EXPECT_EQ(medium.platform.FileContent("C:\\WINDOWS\\Fonts\\a.ttf"), "A") << c.name;
  }
}

// Forty-odd lines of 100 KB each: the table takes the first 20 pairs whole and stops there.
TEST_F(FontsTest, LongLinesBeyondTheTable) {
  std::string list;
  for (int i = 0; i < 45; ++i) list += std::string(32'767, static_cast<char>('A' + i % 26)) + "\n";
  platform.AddFile("D:\\Fonts\\FONT.TXT", list);
  AddFont("a.ttf");
  InstallFonts(session);
  ASSERT_EQ(session.FontTable.size(), 20u);
  EXPECT_EQ(session.FontTable[19].first, std::string(32'767, 'M'));
  EXPECT_EQ(session.FontTable[19].second, std::string(32'767, 'N'));
  ExpectBothKeys({{std::string(32'767, 'B'), std::string(32'767, 'A')}});
}

TEST_F(FontsTest, ListInOtherLetterCaseIsReadAndAlsoInstalledAsAFont) {
  AddFont("a.ttf");
  AddFont("font.txt", "font.txt\nThe List\na.ttf\nAlpha\n");
  InstallFonts(session);
  // "a.ttf" comes first and takes pair 1, "font.txt" takes pair 2.
  ExpectBothKeys({{"The List", "font.txt"}, {"Alpha", "a.ttf"}});
  EXPECT_TRUE(platform.Exists("C:\\WINDOWS\\Fonts\\font.txt"));
}

// The font table holds 20 pairs: a longer list and more fonts never reach past it.
TEST_F(FontsTest, MoreThanTwentyPairsAndFonts) {
  std::string list;
  for (int i = 0; i < 30; ++i) {
    list += "f" + std::to_string(100 + i) + ".ttf\nFont " + std::to_string(100 + i) + "\n";
    AddFont("f" + std::to_string(100 + i) + ".ttf");
  }
  platform.AddFile("D:\\Fonts\\FONT.TXT", list);
  InstallFonts(session);
  const Values values = Key(kFontsKey);
  ASSERT_EQ(values.size(), 21u);  // 20 named, then the default value for the rest
  EXPECT_EQ(values[19], (std::pair<std::string, std::string>{"Font 119", "f119.ttf"}));
  EXPECT_EQ(values[20], (std::pair<std::string, std::string>{"", ""}));
  EXPECT_EQ(session.FontTable.size(), 20u);
  EXPECT_TRUE(platform.Exists("C:\\WINDOWS\\Fonts\\f129.ttf"));
}

TEST_F(FontsTest, PresentFontIsKeptButEnteredAgain) {
  AddFont("a.ttf", "new");
  platform.AddFile("C:\\WINDOWS\\Fonts\\a.ttf", "old");
  platform.SetRegistryValue(kHKeyLocalMachine, kFontsKey, "a.ttf", kRegSz, std::string("x\0", 2));
  InstallFonts(session);
  EXPECT_EQ(platform.FileContent("C:\\WINDOWS\\Fonts\\a.ttf"), "old");
  ExpectBothKeys({{"a.ttf", "C:\\WINDOWS\\Fonts\\a.ttf"}});
}

TEST_F(FontsTest, RefusedKeyStopsAtTheFirstFont) {
  AddFont("a.ttf");
  AddFont("b.ttf");
  platform.RefuseKey(kHKeyLocalMachine, kFontsKeyNt);
  const std::string error = testing::InstallErrorText([&] { InstallFonts(session); });
  EXPECT_EQ(error, "Failed to set data for 'a.ttf'");
  EXPECT_FALSE(platform.Exists("C:\\WINDOWS\\Fonts\\a.ttf"));
  EXPECT_EQ(Key(kFontsKey), (Values{{"a.ttf", "C:\\WINDOWS\\Fonts\\a.ttf"}}));
  EXPECT_EQ(platform.OpenKeys(), 0);
  EXPECT_EQ(platform.OpenSearches(), 0);
}

TEST_F(FontsTest, UnreadableListStopsBeforeAnyFont) {
  AddFont("a.ttf");
  platform.AddFile("D:\\Fonts\\FONT.TXT", "a.ttf\nAlpha\n");
  platform.FailPath(MemoryPlatform::Op::Open, "D:\\Fonts\\FONT.TXT", kErrorAccessDenied);
  const std::string error = testing::InstallErrorText([&] { InstallFonts(session); });
  EXPECT_EQ(error, "File access denied");
  EXPECT_FALSE(platform.KeyExists(kHKeyLocalMachine, kFontsKey));
}

TEST_F(FontsTest, NoFontsFolderDoesNothing) {
  testing::MediumFixture medium;
  InitializeSession(medium.session);
  InstallFonts(medium.session);
  EXPECT_EQ(medium.session.SystemDir, "C:\\WINDOWS\\Fonts\\");
  EXPECT_FALSE(medium.platform.KeyExists(kHKeyLocalMachine, kFontsKey));
}

}  // namespace
}  // namespace installer
