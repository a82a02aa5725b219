#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "engine/FileCopy.h"
#include "engine/platform/Cp1256.h"
#include "ui/text/PersianTexts.h"

namespace installer {
namespace {

TEST(Cp1256Test, PersianTextRoundTrips) {
  const std::string persian = "برنامه نصب گچپژ";
  const auto bytes = Utf8ToCp1256(persian);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(*bytes, "\xC8\xD1\xE4\xC7\xE3\xE5 \xE4\xD5\xC8 \x90\x8D\x81\x8E");
  EXPECT_EQ(Cp1256ToUtf8(*bytes), persian);
}

TEST(Cp1256Test, EveryByteDecodesAndEncodesBack) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const auto back = Utf8ToCp1256(Cp1256ToUtf8(all));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, all);
}

TEST(Cp1256Test, RefusesWhatTheCodePageCannotHold) {
  EXPECT_FALSE(Utf8ToCp1256("\xDB\x8C").has_value());  // Persian yeh U+06CC
  EXPECT_FALSE(Utf8ToCp1256("\xD7").has_value());      // cut-off sequence
  EXPECT_FALSE(Utf8ToCp1256("\xE2\x82").has_value());  // cut-off three-byte sequence
}

// The fixed Persian texts are written readably in the source; their code page 1256 bytes are
// the ones the pages have always carried, so a letter typed from another keyboard layout (a
// Persian yeh for the Arabic one, say) fails here.
TEST(Cp1256Test, FixedPersianTextsKeepTheirBytes) {
  const struct {
    const char* name;
    const char* text;
    const char* bytes;
  } cases[] = {
      {"application title", kApplicationTitle, "\xC8\xD1\xE4\xC7\xE3\xE5 \xE4\xD5\xC8 "},
      {"welcome window", kWelcomeWindowText, "\xE4\xD5\xC8 \xC8\xD1\xE4\xC7\xE3\xE5 "},
      {"install window", kInstallWindowText, "\xE3\xD3\xED\xD1 \xE4\xD5\xC8 \xC8\xD1\xE4\xC7\xE3\xE5"},
      {"chooser window", kChooserWindowText, "\xCA\xDA\xED\xED\xE4 \xE3\xD3\xED\xD1 \xE4\xD5\xC8 "},
      {"exit window", kExitWindowText, " "},
      {"next hint", kNextHint, "\xD4\xD1\xE6\xDA \xE4\xD5\xC8"},
      {"change hint", kChangeHint, "\xCA\xDB\xED\xED\xD1 \xE3\xD3\xED\xD1 \xE4\xD5\xC8"},
      {"wait", kWaitText,
       "\xD3\xED\xD3\xCA\xE3 \xCF\xD1 \xCD\xC7\xE1 \xC7\xE4\xCA\xDE\xC7\xE1 \xC7\xD8\xE1\xC7\xDA"
       "\xC7\xCA \xE1\xD8\xDD\xC7 \xC8\xD1\xC7\xED \xE1\xCD\xD9\xC7\xCA\xED \xD5\xC8\xD1 \x98\xE4\xED\xCF"},
      {"capacity caption", kCapacityCaption,
       "\xE3\xDE\xCF\xC7\xD1 \xD9\xD1\xDD\xED\xCA \xDF\xE1 \xCF\xED\xD3\xDF:"},
      {"free caption", kFreeCaption, ":\xE3\xDE\xCF\xC7\xD1 \xDD\xD6\xC7\xED \xCE\xC7\xE1\xED"},
      {"space message", kNotEnoughSpaceMessage,
       "\xDD\xD6\xC7\xED \xDF\xC7\xDD\xED \xCC\xE5\xCA \xE4\xD5\xC8 \xCF\xD1 "
       "\xCF\xD1\xC7\xED\xE6 \xE3\xDE\xD5\xCF \xE6\xCC\xE6\xCF \xE4\xCF\xC7\xD1\xCF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToCp1256(c.text), std::optional<std::string>(c.bytes)) << c.name;
  }
}

TEST(Cp1256Test, WritingReplacesWhatTheCodePageLacks) {
  EXPECT_EQ(Utf8ToCp1256("مهدی.txt", '?'), "\xE3\xE5\xCF" "?.txt");  // Persian yeh
  EXPECT_EQ(Utf8ToCp1256("a\xFF" "b", '?'), "a?b");                 // not UTF-8
  EXPECT_EQ(Utf8ToCp1256("نصب", '?'), "\xE4\xD5\xC8");
}

// INSTALL.CFG is written as Windows' best-fit conversion writes it, and the vendor's check names
// each character that conversion changes.
TEST(Cp1256Test, BestFitWritesLookAlikesAndNamesEverySubstitution) {
  struct Case {
    const char* text;
    const char* bytes;
    std::vector<std::pair<char32_t, char>> substituted;
  } cases[] = {
      {"Telmorquistan", "Telmorquistan", {}},
      {"مهدی", "\xE3\xE5\xCF\xED", {{0x06CC, '\xED'}}},                  // Persian yeh
      {"ﯼ", "\xED", {{0xFBFC, '\xED'}}},                                   // its isolated form
      {"نرم\u200Cافزار", "\xE4\xD1\xE3\x9D\xC7\xDD\xD2\xC7\xD1", {}},  // ZWNJ is in the code page
      {"ی中a", "\xED?a", {{0x06CC, '\xED'}, {0x4E2D, '?'}}},
      {"a\xFF", "a?", {{0xFFFD, '?'}}},                                    // not UTF-8
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToCp1256BestFit(c.text), c.bytes) << c.text;
    const std::vector<Cp1256Substitution> found = Cp1256Substitutions(c.text);
    ASSERT_EQ(found.size(), c.substituted.size()) << c.text;
    for (size_t i = 0; i < found.size(); ++i) {
      EXPECT_EQ(found[i].character, c.substituted[i].first) << c.text;
      EXPECT_EQ(found[i].byte, c.substituted[i].second) << c.text;
    }
  }
}

}  // namespace
}  // namespace installer
