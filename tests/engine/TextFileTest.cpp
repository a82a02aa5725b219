#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Errors.h"
#include "engine/TextFile.h"
#include "engine/platform/ErrorCodes.h"
#include "engine/platform/memory/MemoryPlatform.h"

namespace installer {
namespace {

using Strings = std::vector<std::string>;

Strings ReadAll(MemoryPlatform& platform, const std::string& path) {
  TextReader reader(platform, path);
  Strings lines;
  while (!reader.Eof()) lines.push_back(reader.ReadLine());
  return lines;
}

TEST(TextReaderTest, LineEndsAndTheEndOfText) {
  const struct {
    const char* name;
    std::string content;
    Strings lines;
  } cases[] = {
      {"empty file", "", {}},
      {"LF and CR LF", "a\nb\r\nc\n", {"a", "b", "c"}},
      {"last line without end", "a\nlast", {"a", "last"}},
      {"empty line in the middle", "a\n\nb", {"a", "", "b"}},
      {"only a line end", "\r\n", {""}},
      {"lone CR is dropped", "ab\rcd\nx\r", {"abcd", "x"}},
      {"Ctrl-Z ends the text", std::string("a\nb\x1A" "c\nd\n"), {"a", "b"}},
      {"Ctrl-Z at the start", std::string("\x1A" "a\n"), {}},
      {"bytes above 127 pass unchanged", "\xE3\xCA\xE4\n\xFF\x01", {"\xE3\xCA\xE4", "\xFF\x01"}},
  };
  for (const auto& c : cases) {
    MemoryPlatform platform;
    platform.AddFile("C:\\list.txt", c.content);
    EXPECT_EQ(ReadAll(platform, "C:\\list.txt"), c.lines) << c.name;
    EXPECT_EQ(platform.OpenStreams(), 0) << c.name;
  }
}

TEST(TextReaderTest, LinesLongerThanTheBufferAndAtEveryBoundary) {
  MemoryPlatform platform;
  const std::string longLine(1'000'000, 'x');
  std::string content = longLine + "\r\n";
  // Line ends falling on and around the reader's block boundaries.
  for (int i = 4090; i < 4100; ++i) content += std::string(static_cast<size_t>(i), 'y') + "\r\n";
  platform.AddFile("C:\\list.txt", content);
  const Strings lines = ReadAll(platform, "C:\\list.txt");
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], longLine);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(lines[1 + i].size(), 4090u + i);
}

TEST(TextReaderTest, ReadingPastTheEndGivesEmptyLines) {
  MemoryPlatform platform;
  platform.AddFile("C:\\list.txt", "only");
  TextReader reader(platform, "C:\\list.txt");
  EXPECT_EQ(reader.ReadLine(), "only");
  EXPECT_TRUE(reader.Eof());
  EXPECT_EQ(reader.ReadLine(), "");
}

TEST(TextReaderTest, FailuresRaiseTheIoErrorForTheCode) {
  const struct {
    uint32_t code;
    const char* message;
  } cases[] = {
      {kErrorFileNotFound, "File not found"}, {kErrorPathNotFound, "Invalid filename"},
      {kErrorTooManyOpenFiles, "Too many open files"}, {kErrorAccessDenied, "File access denied"},
      {kErrorSharingViolation, "I/O error 32"},
  };
  for (const auto& c : cases) {
    MemoryPlatform platform;
    platform.AddFile("C:\\list.txt", "a");
    platform.FailPath(MemoryPlatform::Op::Open, "C:\\list.txt", c.code);
    try {
      TextReader reader(platform, "C:\\list.txt");
      ADD_FAILURE() << "no error for code " << c.code;
    } catch (const InstallError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(TextReaderTest, ShortReadsLoseNothing) {
  MemoryPlatform platform;
  std::string content;
  for (int i = 0; i < 3000; ++i) content += "line " + std::to_string(i) + "\r\n";
  platform.AddFile("C:\\list.txt", content);
  platform.FailNth(MemoryPlatform::Op::Read, 1, kErrorReadFault, true);  // every read half
  const Strings lines = ReadAll(platform, "C:\\list.txt");
  ASSERT_EQ(lines.size(), 3000u);
  EXPECT_EQ(lines[2999], "line 2999");
}

TEST(TextWriterTest, WritesEachLineWithCrLf) {
  MemoryPlatform platform;
  platform.AddFile("C:\\out.cfg", "an older and much longer content");
  WriteTextLines(platform, "C:\\out.cfg", {"a", "", "\xE3\xCA"});
  EXPECT_EQ(platform.FileContent("C:\\out.cfg"), "a\r\n\r\n\xE3\xCA\r\n");
  // A file that cannot be created is passed over without a report.
  WriteTextLines(platform, "C:\\missing\\out.cfg", {"a"});
  EXPECT_FALSE(platform.Exists("C:\\missing\\out.cfg"));
}

}  // namespace
}  // namespace installer
