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
    uint32_t LastError() const override { return inner_->LastError(); }
    uint32_t RenameTo(const std::string& path) override { return inner_->RenameTo(path); }

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

// A line of more than 32,767 characters ends the reading with an error as soon as the limit
// is passed: a 10 MB line costs no more memory or reading than one just over the limit.
// regression: a line had no length limit, so a damaged list of gigabytes without a line end
// grew one string until memory ran out.
TEST(TextReaderTest, LinesOverTheLimitEndTheReading) {
  constexpr size_t kLimit = 32767;
  std::string pattern;
  for (size_t i = 0; pattern.size() < 10'000'000; ++i) {
    const char c = static_cast<char>(i * 7);  // every byte value, NUL and 0xFF included
    if (c != '\n' && c != '\r' && c != '\x1A') pattern += c;
  }
  const std::string error = "Line longer than 32767 characters in \"C:\\list.txt\"";
  const struct {
    const char* name;
    size_t length;
    std::string tail;
    const char* error;  // "" when the line is read
    Strings after;      // lines after the long one
  } cases[] = {
      {"at the limit", kLimit, "\r\nnext", "", {"next"}},
      {"at the limit with CRs inside", kLimit, "\r\r\r\nnext", "", {"next"}},
      {"one over, no line end", kLimit + 1, "", error.c_str(), {}},
      {"one over, then a short line", kLimit + 1, "\r\nnext", error.c_str(), {}},
      {"10 MB, no line end", pattern.size(), "", error.c_str(), {}},
      {"10 MB, Ctrl-Z", pattern.size(), "\x1A" "after\n", error.c_str(), {}},
  };
  for (const auto& c : cases) {
    ReadRecordingPlatform platform;
    const std::string line = pattern.substr(0, c.length);
    platform.AddFile("C:\\list.txt", line + c.tail);
    TextReader reader(platform, "C:\\list.txt");
#if INSTALLER_HAVE_ALLOCATION_PEAK
    testing::AllocationPeak peak;
#endif
    std::string read;
    std::string raised;
    try {
      read = reader.ReadLine();
    } catch (const InstallError& e) {
      raised = e.what();
    }
#if INSTALLER_HAVE_ALLOCATION_PEAK
    EXPECT_LE(peak.Stop(), static_cast<int64_t>(3 * kLimit + (64 << 10))) << c.name;
#endif
    EXPECT_EQ(raised, c.error) << c.name;
    if (*c.error == '\0') {
      EXPECT_TRUE(read == line) << c.name << ": " << read.size() << " bytes";
    }
    EXPECT_LE(platform.largestRequest, 64 << 10) << c.name;
    // Reading stops within one block past the limit.
    EXPECT_LE(platform.bytesDelivered, static_cast<int64_t>(kLimit + 2 * 4096)) << c.name;
    Strings after;
    while (!reader.Eof()) after.push_back(reader.ReadLine());
    EXPECT_EQ(after, c.after) << c.name;
  }
}

TEST(TextReaderTest, LinesLongerThanTheBufferAndAtEveryBoundary) {
  MemoryPlatform platform;
  const std::string longLine(32'767, 'x');  // the longest line the reader takes
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

// regression: every failed read reported "I/O error 30" whatever the system said.
TEST(TextReaderTest, ReadFailureReportsTheSystemsCode) {
  const struct {
    uint32_t code;
    const char* message;
  } cases[] = {
      {23, "I/O error 23"},  // a CRC error: a scratched disc
      {kErrorReadFault, "I/O error 30"},
      {kErrorAccessDenied, "File access denied"},
      {kErrorNotReady, "I/O error 21"},
  };
  for (const auto& c : cases) {
    MemoryPlatform platform;
    platform.AddDrive('D', {});
    platform.AddFile("D:\\list.txt", std::string(5000, 'a') + "\r\nb\r\n");
    TextReader reader(platform, "D:\\list.txt");
    if (c.code == kErrorNotReady) {
      platform.Drive('D').ready = false;
    } else {
      platform.Drive('D').readError = c.code;
    }
    std::string raised;
    try {
      reader.ReadLine();
    } catch (const InstallError& e) {
      raised = e.what();
    }
    EXPECT_EQ(raised, c.message) << "code " << c.code;
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
  // Code page 1256 bytes, as Windows' best fit writes them: the Persian yeh, which the code
  // page lacks, as the Arabic yeh (0xED); a character with no look-alike (Chinese) as '?'.
  WriteTextLines(platform, "C:\\out.cfg", {"a", "", "مت", "مهدی", "中"});
  EXPECT_EQ(platform.FileContent("C:\\out.cfg"), "a\r\n\r\n\xE3\xCA\r\n\xE3\xE5\xCF\xED\r\n?\r\n");
  // A file that cannot be created is passed over without a report.
  WriteTextLines(platform, "C:\\missing\\out.cfg", {"a"});
  EXPECT_FALSE(platform.Exists("C:\\missing\\out.cfg"));
}

}  // namespace
}  // namespace installer
