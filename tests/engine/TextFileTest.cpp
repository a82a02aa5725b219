#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/Errors.h"
#include "engine/TextFile.h"
#include "engine/platform/ErrorCodes.h"
#include "engine/platform/memory/MemoryPlatform.h"
#include "tests/engine/AllocationPeak.h"

namespace installer {
namespace {

using Strings = std::vector<std::string>;
using std::string_literals::operator""s;

Strings ReadAll(MemoryPlatform& platform, const std::string& path) {
  TextReader reader(platform, path);
  Strings lines;
  while (!reader.Eof()) lines.push_back(reader.ReadLine());
  return lines;
}

/// The in-memory machine, noting the largest read its streams are asked for and the bytes
/// they deliver.
class ReadRecordingPlatform : public MemoryPlatform {
 public:
  int64_t largestRequest = 0;
  int64_t bytesDelivered = 0;

  OpenResult OpenFile(const std::string& path, OpenMode mode) override {
    OpenResult result = MemoryPlatform::OpenFile(path, mode);
    if (result.stream) result.stream = std::make_unique<Stream>(std::move(result.stream), *this);
    return result;
  }

 private:
  class Stream : public FileStream {
   public:
    Stream(std::unique_ptr<FileStream> inner, ReadRecordingPlatform& owner)
        : inner_(std::move(inner)), owner_(owner) {}
    int64_t Read(void* buffer, int64_t count) override {
      owner_.largestRequest = std::max(owner_.largestRequest, count);
      const int64_t got = inner_->Read(buffer, count);
      if (got > 0) owner_.bytesDelivered += got;
      return got;
    }
    int64_t Write(const void* buffer, int64_t count) override {
      return inner_->Write(buffer, count);
    }
    int64_t Size() override { return inner_->Size(); }

   private:
    std::unique_ptr<FileStream> inner_;
    ReadRecordingPlatform& owner_;
  };
};

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

// Bytes the list files should never hold, read by the rules all the same: only LF, CR and
// Ctrl-Z are special; every other byte, NUL included, stays in the line as it is.
TEST(TextReaderTest, BinaryAndControlBytes) {
  std::string everyOtherByte;
  for (int b = 0; b < 256; ++b) {
    if (b != '\n' && b != '\r' && b != 0x1A) everyOtherByte += static_cast<char>(b);
  }
  const struct {
    const char* name;
    std::string content;
    Strings lines;
  } cases[] = {
      {"NUL inside and at the ends of lines", "\0a\0b\0\n\0\n"s, {"\0a\0b\0"s, "\0"s}},
      {"0xFF and other high bytes", "\xFF\xFE\x80\r\n\xE3\xCA\xE4 \xFF",
       {"\xFF\xFE\x80", "\xE3\xCA\xE4 \xFF"}},
      {"every byte but LF, CR and Ctrl-Z", everyOtherByte + "\r\n" + everyOtherByte,
       {everyOtherByte, everyOtherByte}},
      {"blanks, tabs and Esc are kept", " a.dll \t\x1B\x7F\n", {" a.dll \t\x1B\x7F"}},
      {"Ctrl-Z in the middle of a line", "a.dll\nb.d\x1Al\nc.dll\n", {"a.dll", "b.d"}},
      {"Ctrl-Z right after a CR", "a\r\x1A\nb", {"a"}},
      {"Ctrl-Z right after a LF adds no line", "a\n\x1A", {"a"}},
      {"text after Ctrl-Z is not read, other Ctrl-Z included", "a\x1A\x1A\nb\x1A", {"a"}},
      {"only Ctrl-Z", "\x1A", {}},
      {"CR-only line ends join the lines", "a.dll\rb.dll\rc.dll\r", {"a.dllb.dllc.dll"}},
      {"a lone CR is a line of its own", "\r", {""}},
      {"a lone CR before Ctrl-Z", "\r\x1A" "a", {""}},
      {"CR CR LF ends one line", "a\r\r\nb\r\r\r\n", {"a", "b"}},
      {"LF CR: the CR opens the next line and is dropped", "a\n\rb\n\r", {"a", "b", ""}},
      {"LF only", "\n\n", {"", ""}},
      {"no final line end", "a.dll\r\nb.dll", {"a.dll", "b.dll"}},
      {"no final line end after a CR", "a.dll\r", {"a.dll"}},
      {"empty file", "", {}},
  };
  for (const auto& c : cases) {
    for (const bool shortReads : {false, true}) {
      MemoryPlatform platform;
      platform.AddFile("C:\\list.txt", c.content);
      if (shortReads) platform.FailNth(MemoryPlatform::Op::Read, 1, kErrorReadFault, true);
      EXPECT_EQ(ReadAll(platform, "C:\\list.txt"), c.lines)
          << c.name << (shortReads ? ", short reads" : "");
    }
  }
}

// The reader takes the file in blocks of 4096 bytes: line ends, CRs and Ctrl-Z that fall on
// the border between two blocks.
TEST(TextReaderTest, SpecialBytesOnTheBlockBorder) {
  const std::string x4095(4095, 'x');
  const std::string x4096(4096, 'x');
  const struct {
    const char* name;
    std::string content;
    Strings lines;
  } cases[] = {
      {"CR last in the block, LF first in the next", x4095 + "\r\nb", {x4095, "b"}},
      {"lone CR last in the block", x4095 + "\rb\n", {x4095 + "b"}},
      {"LF last in the block, then the end", x4095 + "\n", {x4095}},
      {"LF last in the block, Ctrl-Z first in the next", x4095 + "\n\x1A" "b", {x4095}},
      {"Ctrl-Z first in the next block", x4096 + "\x1A" "b\n", {x4096}},
      {"CR last in the block, Ctrl-Z first in the next", x4095 + "\r\x1A", {x4095}},
      {"LF first in the next block", x4096 + "\nb", {x4096, "b"}},
  };
  for (const auto& c : cases) {
    MemoryPlatform platform;
    platform.AddFile("C:\\list.txt", c.content);
    EXPECT_EQ(ReadAll(platform, "C:\\list.txt"), c.lines) << c.name;
  }
}

// A 10 MB line with no line end is read whole, from blocks of a fixed size: the reader
// holds the line being read and one block, never the file.
TEST(TextReaderTest, TenMegabyteLine) {
  constexpr size_t kSize = 10'000'000;
  std::string line;
  line.reserve(kSize);
  for (size_t i = 0; line.size() < kSize; ++i) {
    const char c = static_cast<char>(i * 7);  // every byte value, NUL and 0xFF included
    if (c != '\n' && c != '\r' && c != '\x1A') line += c;
  }
  const struct {
    const char* name;
    std::string tail;
    Strings after;  // lines after the long one
  } cases[] = {
      {"no line end", "", {}},
      {"CR LF and a short line", "\r\nnext", {"next"}},
      {"Ctrl-Z", "\x1A" "after\n", {}},
  };
  for (const auto& c : cases) {
    ReadRecordingPlatform platform;
    platform.AddFile("C:\\list.txt", line + c.tail);
    TextReader reader(platform, "C:\\list.txt");
#if INSTALLER_HAVE_ALLOCATION_PEAK
    testing::AllocationPeak peak;
#endif
    const std::string read = reader.ReadLine();
#if INSTALLER_HAVE_ALLOCATION_PEAK
    // The line grows by doubling, so old and new block together hold at most three times
    // its length; nothing else grows with the file.
    EXPECT_LE(peak.Stop(), static_cast<int64_t>(3 * kSize + (64 << 10))) << c.name;
#endif
    EXPECT_TRUE(read == line) << c.name << ": a line of " << read.size() << " bytes";
    EXPECT_LE(read.capacity(), 2 * kSize) << c.name;
    EXPECT_LE(platform.largestRequest, 64 << 10) << c.name;
    Strings after;
    while (!reader.Eof()) after.push_back(reader.ReadLine());
    EXPECT_EQ(after, c.after) << c.name;
    // Every byte up to the end of the text is read once.
    EXPECT_LE(platform.bytesDelivered, static_cast<int64_t>(line.size() + c.tail.size()))
        << c.name;
    EXPECT_GE(platform.bytesDelivered, static_cast<int64_t>(line.size())) << c.name;
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
  // Code page 1256 bytes; a letter the code page lacks (Persian yeh) becomes '?'.
  WriteTextLines(platform, "C:\\out.cfg", {"a", "", "مت", "مهدی"});
  EXPECT_EQ(platform.FileContent("C:\\out.cfg"), "a\r\n\r\n\xE3\xCA\r\n\xE3\xE5\xCF?\r\n");
  // A file that cannot be created is passed over without a report.
  WriteTextLines(platform, "C:\\missing\\out.cfg", {"a"});
  EXPECT_FALSE(platform.Exists("C:\\missing\\out.cfg"));
}

}  // namespace
}  // namespace installer
