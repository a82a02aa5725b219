// WTF-8 to and from UTF-16, the streaming UTF-8 check of the list files, and reading direction.
#include "engine/platform/Unicode.h"

#include <gtest/gtest.h>

#include <string>

namespace installer {
namespace {

TEST(UnicodeTest, EveryNameWindowsCanHoldRoundTrips) {
  const std::u16string names[] = {
      u"plain.txt",
      u"\u0631\u0627\u0647\u0646\u0645\u0627\u06CC \u06A9\u0627\u0631\u0628\u0631.txt",  // راهنمای کاربر
      u"\u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645",  // ZWNJ inside a word
      u"Caf\u00E9 \u4E2D\u6587 \U0001F600",                  // Latin, CJK, a surrogate pair
      std::u16string(u"lone \xD800 high"),                   // unpaired surrogates: NTFS holds them
      std::u16string(u"lone \xDC00 low"),
      std::u16string(u"\xD800\xD800 two highs"),
      std::u16string(u"a\0b", 3),  // registry multi-strings carry NULs
  };
  for (const std::u16string& name : names) {
    const std::string wtf8 = Utf16ToUtf8(std::u16string_view(name));
    std::u16string back;
    ASSERT_TRUE(Utf8ToUtf16(wtf8, back)) << wtf8;
    EXPECT_EQ(back, name) << wtf8;
  }
  // The Persian name is plain UTF-8, exactly as a source file spells it.
  EXPECT_EQ(Utf16ToUtf8(std::u16string_view(u"\u0645\u0647\u062F\u06CC")), "مهدی");
  EXPECT_EQ(Utf16ToUtf8(std::u16string_view(u"\U0001F600")), "\xF0\x9F\x98\x80");
}

// Such a text names no file: converting it anyway would touch another file, or none at all.
TEST(UnicodeTest, MalformedTextIsRefusedNotGuessed) {
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"stray continuation byte", "a\x80"},
      {"cut off at the end", "\xD9"},
      {"cut off three-byte sequence", "\xE2\x82"},
      {"lead byte without continuation", "\xD9" "a"},
      {"overlong slash", "\xC0\xAF"},
      {"overlong three-byte NUL", "\xE0\x80\x80"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80"},
      {"lead byte F5", "\xF5\x80\x80\x80"},
      {"a pair spelled as two surrogates", "\xED\xA0\x80\xED\xB0\x80"},
      {"code page 1256 bytes", "\xE3\xCA\xE4"},
  };
  for (const auto& c : cases) {
    std::u16string out;
    EXPECT_FALSE(Utf8ToUtf16(c.text, out)) << c.name;
    EXPECT_FALSE(IsValidUtf8(c.text)) << c.name;
    // Shown, it is replaced, never dropped silently.
    EXPECT_NE(Utf8ToUtf16ForDisplay<std::u16string>(c.text).find(u'\uFFFD'), std::u16string::npos)
        << c.name;
  }
  // A lone surrogate is WTF-8, not UTF-8: a name from the system, never a list file's text.
  std::u16string out;
  EXPECT_TRUE(Utf8ToUtf16("\xED\xA0\x80", out));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
}

// The list files are checked in blocks; a sequence cut between two blocks is judged whole.
TEST(UnicodeTest, ValidatorGivesTheSameAnswerWhereverTheTextIsCut) {
  const std::string texts[] = {
      "\xEF\xBB\xBF" "وزیر.ttf\r\nوزیر (TrueType)\r\n",
      "ascii only\n",
      "\xF0\x9F\x98\x80 emoji",
      "\xE3\xCA\xE4.ttf\n",         // code page 1256
      "good \xD9\x88 then \xD9",    // cut off at the very end
      "\xED\xA0\x80",               // a surrogate
      "\xE2\x82" "x",
  };
  for (const std::string& text : texts) {
    for (size_t first = 0; first <= text.size(); ++first) {
      for (size_t second = first; second <= text.size(); ++second) {
        Utf8Validator validator;
        validator.Feed(std::string_view(text).substr(0, first));
        validator.Feed(std::string_view(text).substr(first, second - first));
        validator.Feed(std::string_view(text).substr(second));
        EXPECT_EQ(validator.Valid(), IsValidUtf8(text)) << text << " cut at " << first << ", " << second;
      }
    }
  }
  Utf8Validator ascii;
  ascii.Feed("a.ttf\nAlpha\n");
  EXPECT_TRUE(ascii.Valid());
  EXPECT_FALSE(ascii.SawHighByte());
}

TEST(UnicodeTest, DirectionComesFromTheFirstStrongCharacter) {
  const struct {
    const char* text;
    bool rightToLeft;
  } cases[] = {
      {"Cannot open file \"D:\\CAB\\Docs\\راهنما.txt\". File not found.", false},
      {"فضاي كافي جهت نصب در درايو مقصد وجود ندارد", true},
      {"\"راهنما.txt\" is missing", true},  // the first letter decides, not the quote before it
      {"123 \\ - مت", true},                 // digits and punctuation are neutral
      {"\u200Cمت", true},                     // so is ZWNJ
      {"Failed to set data for 'وزیر (TrueType)'", false},
      {"Über", false},
      {"", false},
      {"12.5", false},
      {"caf\u00E9 \u00E0 la carte", false},  // Latin letters beyond ASCII
      {"\u00AB quoted \u00BB", false},       // guillemets are not letters
      {"Path: C:\\فايل", false},
      {"\u060C", false},                      // an Arabic comma alone is punctuation
      {"\u067E", true},                       // Persian peh
  };
  for (const auto& c : cases) EXPECT_EQ(ReadsRightToLeft(c.text), c.rightToLeft) << c.text;
}

TEST(UnicodeTest, PopLastCharacterTakesAWholeSequence) {
  const struct {
    std::string before;
    std::string after;
  } cases[] = {
      {"abc", "ab"}, {"می", "م"}, {"a\xF0\x9F\x98\x80", "a"}, {"", ""}, {"a\x80\x80", "a\x80"},
  };
  for (const auto& c : cases) {
    std::string text = c.before;
    PopLastCharacter(text);
    EXPECT_EQ(text, c.after) << c.before;
  }
}

}  // namespace
}  // namespace installer
