// The text helpers' cutting, splicing and digit grouping, case by case.
#include "ui/text/StringHelpers.h"

#include <gtest/gtest.h>

#include <string>

namespace installer {
namespace {

enum class Cut { kLeft, kRight, kMid };

struct CutCase {
  Cut call;
  std::string text;
  uint8_t position;  // MidStr only
  uint8_t count;
  std::string expected;
};

std::string Apply(const CutCase& c) {
  switch (c.call) {
    case Cut::kLeft: return LeftStr(c.text, c.count);
    case Cut::kRight: return RightStr(c.text, c.count);
    case Cut::kMid: return MidStr(c.text, c.position, c.count);
  }
  return "<unreachable>";
}

TEST(StringHelpersTest, LeftRightAndMidCutByPosition) {
  const CutCase cases[] = {
      {Cut::kLeft, "abc", 0, 0, ""},
      {Cut::kRight, "abc", 0, 0, ""},
      {Cut::kLeft, "", 0, 5, ""},
      {Cut::kRight, "", 0, 5, ""},
      {Cut::kLeft, "abc", 0, 5, "abc"},
      {Cut::kRight, "abc", 0, 5, "abc"},
      {Cut::kLeft, "abc", 0, 3, "abc"},
      {Cut::kLeft, "abcdef", 0, 2, "ab"},
      {Cut::kRight, "abcdef", 0, 2, "ef"},
      {Cut::kRight, "C:\\Windows\\", 0, 1, "\\"},
      {Cut::kRight, "C:", 0, 1, ":"},
      {Cut::kMid, "abcdef", 3, 2, "cd"},
      {Cut::kMid, "abcdef", 5, 10, "ef"},
      {Cut::kMid, "abcdef", 6, 1, "f"},
      {Cut::kMid, "abcdef", 1, 6, "abcdef"},
      {Cut::kMid, "abcdef", 7, 1, ""},
      {Cut::kMid, "abcdef", 0, 2, ""},
      {Cut::kMid, "abcdef", 2, 0, ""},
      {Cut::kMid, "", 1, 1, ""},
  };
  for (const CutCase& c : cases) {
    EXPECT_EQ(Apply(c), c.expected) << "call " << static_cast<int>(c.call) << " on \"" << c.text
                                    << "\" at " << int{c.position} << " count " << int{c.count};
  }
}

// regression: a length kept in 8 bits wraps for texts over 255 characters (300 reads as 44).
TEST(StringHelpersTest, TextsLongerThan255CharactersAreServedWhole) {
  std::string text;
  for (int i = 1; i <= 300; ++i) text += static_cast<char>('A' + i % 26);
  EXPECT_EQ(RightStr(text, 5), text.substr(295, 5));
  EXPECT_EQ(LeftStr(text, 255), text.substr(0, 255));
  EXPECT_EQ(MidStr(text, 250, 10), text.substr(249, 10));
  EXPECT_EQ(MidStr(text, 1, 255), text.substr(0, 255));
  // Replacing near the start keeps the whole rest of the long text.
  EXPECT_EQ(ReplaceAt(text, 2, 3, "xy"), text.substr(0, 1) + "xy" + text.substr(4));
  const std::string long300(300, '9');
  const std::string grouped = GroupThousands(long300);
  EXPECT_EQ(grouped.size(), 300u + 99u);
  EXPECT_EQ(grouped.substr(0, 4), "999,");
  EXPECT_EQ(grouped.substr(grouped.size() - 8), ",999,999");
}

struct ReplaceCase {
  std::string text;
  uint8_t position;
  uint8_t count;
  std::string insert;
  std::string expected;
};

TEST(StringHelpersTest, ReplaceAtSplicesDeletesAndAppends) {
  const ReplaceCase cases[] = {
      {"abcdef", 3, 2, "XY", "abXYef"},
      {"abcdef", 4, 3, "", "abc"},
      {"abc", 1, 0, "Z", "Zabc"},
      {"abc", 4, 0, "Z", "abcZ"},
      {"abc", 10, 2, "Z", "abcZ"},
      {"abc", 1, 3, "Z", "Z"},
      {"", 1, 0, "Z", ""},
      {"abc", 0, 1, "Z", ""},
      {"abc", 3, 5, "Z", "abZ"},    // deletes to the end only
      {"abc", 2, 1, "", "ac"},
      // How the install page strips the product folder off its target path.
      {"C:\\Telmorquistane", 4, 14, "", "C:\\"},
  };
  for (const ReplaceCase& c : cases) {
    EXPECT_EQ(ReplaceAt(c.text, c.position, c.count, c.insert), c.expected)
        << "\"" << c.text << "\" at " << int{c.position} << " count " << int{c.count}
        << " insert \"" << c.insert << "\"";
  }
}

TEST(StringHelpersTest, GroupThousandsPutsCommasEveryThreeDigitsFromTheRight) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"7", "7"},
      {"12", "12"},
      {"123", "123"},
      {"1234", "1,234"},
      {"12345", "12,345"},
      {"123456", "123,456"},
      {"1234567", "1,234,567"},
      {"12345678901", "12,345,678,901"},
      {"100000000000000", "100,000,000,000,000"},
  };
  for (const auto& [digits, expected] : cases) {
    EXPECT_EQ(GroupThousands(digits), expected) << digits;
  }
}

// The marks only follow backslashes, and only in a text with a right-to-left letter; the text
// is otherwise untouched, so removing them gives the path back.
// regression: a Latin path drew each mark as a box under Wine ("C:\\□Telmorquistane").
TEST(StringHelpersTest, PathTextForDisplayMarksEveryBackslash) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\مستندات\\راهنما.txt", "C:\\\u200Eمستندات\\\u200Eراهنما.txt"},
      {"File: CAB\\Docs\\راهنما.txt", "File: CAB\\\u200EDocs\\\u200Eراهنما.txt"},
      {"File: CAB\\a.txt", "File: CAB\\a.txt"},
      {"C:\\Program Files\\Product", "C:\\Program Files\\Product"},
      {"\\\\server\\שם", "\\\u200E\\\u200Eserver\\\u200Eשם"},
      {"no path", "no path"},
      {"", ""},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(PathTextForDisplay(text), shown) << text;
}

}  // namespace
}  // namespace installer
