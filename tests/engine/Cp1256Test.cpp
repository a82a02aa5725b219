#include <gtest/gtest.h>

#include "engine/FileCopy.h"
#include "engine/platform/Cp1256.h"

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

// The space message is kept as code page 1256 bytes; this pins them to the Persian text.
TEST(Cp1256Test, NotEnoughSpaceMessageReadsAsPersian) {
  EXPECT_EQ(Cp1256ToUtf8(kNotEnoughSpaceMessage),
            "فضاي كافي جهت نصب در درايو مقصد وجود ندارد");
}

}  // namespace
}  // namespace installer
