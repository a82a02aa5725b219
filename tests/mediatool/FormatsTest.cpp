// The formats the vendor tool reads and writes: directory order on a disc and on NTFS, list
// files the installer must read back line for line, PE headers and export tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/TextFile.h"
#include "engine/platform/memory/MemoryPlatform.h"
#include "mediatool/FontInfo.h"
#include "mediatool/ListFile.h"
#include "mediatool/MediumTree.h"
#include "mediatool/PeFile.h"
#include "tests/mediatool/MediaToolTestSupport.h"

namespace mediatool {
namespace {

using Strings = std::vector<std::string>;

// Both orders as measured on this kind of machine for one folder: the Joliet records xorriso
// writes (read back with a parser of the directory records) and the listing Wine's
// FindFirstFile gives, which is NTFS's (case folded, then code units).
TEST(DirectoryOrderTest, MatchesMeasuredJolietAndNtfsOrders) {
  const Strings names = {"B.ttf", "a.ttf", "a-b.ttf", "a.b.ttf", "فارسی.ttf",
                         "Z.TTF", "ab.ttf", "a_b.ttf", "a b.ttf", "noext"};
  const struct {
    Target target;
    Strings expected;
  } cases[] = {
      {Target::Cd, {"B.ttf", "Z.TTF", "a b.ttf", "a-b.ttf", "a.b.ttf", "a.ttf", "a_b.ttf", "ab.ttf",
                    "noext", "فارسی.ttf"}},
      {Target::Ntfs, {"a b.ttf", "a-b.ttf", "a.b.ttf", "a.ttf", "ab.ttf", "a_b.ttf", "B.ttf", "noext",
                      "Z.TTF", "فارسی.ttf"}},
  };
  for (const auto& c : cases) {
    Strings sorted = names;
    SortNames(c.target, sorted);
    EXPECT_EQ(sorted, c.expected) << (c.target == Target::Cd ? "CD" : "NTFS");
  }
}

TEST(DirectoryOrderTest, CountsUtf16UnitsAsJolietDoes) {
  EXPECT_EQ(Utf16Length("abc"), 3u);
  EXPECT_EQ(Utf16Length("فارسی"), 5u);          // two UTF-8 bytes each, one unit each
  EXPECT_EQ(Utf16Length("\xF0\x9F\x98\x80"), 2u);  // outside the BMP: a surrogate pair
}

// Every list must come back from the installer's own reader exactly as it was written.
TEST(ListFileTest, InstallerReadsBackWhatTheBuildWrites) {
  const struct {
    const char* what;
    Strings lines;
    bool utf8;
  } cases[] = {
      {"ASCII", {"a.dll", "b.ocx"}, false},
      {"Persian in code page 1256", {"وزير.ttf", "وزير (TrueType)"}, false},
      {"Persian yeh, which code page 1256 lacks", {"وزیر.ttf", "وزیر (TrueType)"}, true},
      // regression: bytes C8 81 (beh, peh) are valid UTF-8, so the installer would have read
      // a code page 1256 list of them as UTF-8 and got another name
      {"code page 1256 bytes that form UTF-8", {"بپ.ttf", "بپ (TrueType)"}, true},
      {"no lines", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string bytes = EncodeListFile(c.lines);
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF", 0) == 0, c.utf8);
    installer::MemoryPlatform machine;
    machine.AddFile("C:\\LIST.TXT", bytes);
    installer::ListReader reader(machine, "C:\\LIST.TXT");
    Strings read;
    while (!reader.Eof()) read.push_back(reader.ReadLine());
    EXPECT_EQ(read, c.lines);
  }
}

TEST(PeFileTest, ReadsMachineAndExports) {
  const struct {
    uint16_t machine;
    Strings exports;
  } cases[] = {
      {kMachineI386, {"DllRegisterServer", "DllUnregisterServer"}},
      {kMachineAmd64, {"DllRegisterServer"}},
      {kMachineAmd64, {}},
      {0xAA64, {"Other"}},
  };
  for (const auto& c : cases) {
    const PeInfo info = ReadPe(testing::MakePe(c.machine, c.exports));
    ASSERT_TRUE(info.valid) << info.error;
    EXPECT_EQ(info.machine, c.machine);
    EXPECT_TRUE(info.isDll);
    EXPECT_EQ(info.exports, c.exports);
  }
}

// Any cut of a valid file is read without reading past its end, and never yields names the
// file does not hold; garbage is refused with a reason.
TEST(PeFileTest, EveryTruncationIsRefusedOrReadCorrectly) {
  const std::string full = testing::MakePe(kMachineI386, {"DllRegisterServer", "Second"});
  int refused = 0;
  for (size_t length = 0; length < full.size(); ++length) {
    const PeInfo info = ReadPe(full.substr(0, length));
    if (!info.valid) {
      EXPECT_FALSE(info.error.empty()) << length;
      ++refused;
      continue;
    }
    EXPECT_EQ(info.machine, kMachineI386) << length;
    EXPECT_TRUE(info.exports.empty()) << length;  // the section data is the file's last part
  }
  EXPECT_GT(refused, 0);
  for (const std::string& garbage : {std::string("MZ"), std::string(200, 'M'), std::string("not a library")}) {
    EXPECT_FALSE(ReadPe(garbage).valid);
  }
}

// The Windows build names fonts with its own sfnt reader: over every font on this machine it
// must give FreeType's name, and refuse what FreeType refuses.
TEST(FontInfoTest, OwnSfntReaderAgreesWithFreeTypeOnEveryInstalledFont) {
  int compared = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator("/usr/share/fonts")) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".ttf" && ext != ".otf" && ext != ".ttc") continue;
    const std::string bytes = testing::ReadAll(entry.path().string());
    const FontInfo freetype = ReadFontInfo(bytes);
    const FontInfo own = ReadSfntFontInfo(bytes);
    ASSERT_TRUE(freetype.valid) << entry.path() << ": " << freetype.error;
    EXPECT_TRUE(own.valid) << entry.path() << ": " << own.error;
    EXPECT_EQ(own.displayName, freetype.displayName) << entry.path();
    // Cut short, a font is refused by both readers.
    const std::string cut = bytes.substr(0, 40);
    EXPECT_FALSE(ReadFontInfo(cut).valid) << entry.path();
    EXPECT_FALSE(ReadSfntFontInfo(cut).valid) << entry.path();
    ++compared;
  }
  EXPECT_GT(compared, 10);
  for (const std::string& garbage : {std::string(), std::string("not a font"), std::string(100, '\0')}) {
    EXPECT_FALSE(ReadSfntFontInfo(garbage).valid);
  }
}

}  // namespace
}  // namespace mediatool
