// libFuzzer target for the medium's list files. Each input is used three ways on the
// in-memory machine:
//   1. as a bare text file read with TextReader, whole and with every read cut short, also
//      behind a filler that moves it onto the reader's block boundary;
//   2. as SYSTEM\SYSTEM.TXT for the whole system-files step;
//   3. as FONTS\FONT.TXT for the whole font step, with two font files more than the list
//      names (so a full 20-pair table meets more fonts than it holds).
// What comes out is compared with an independent model of the reading rules (LF or CR LF
// ends a line, every other CR is dropped, Ctrl-Z ends the text, the last line needs no line
// end; the steps read the text as code page 1256, or as UTF-8 when it is well-formed UTF-8
// with a byte of 0x80 or more, without a leading byte-order mark), and the memory each part
// allocates is checked against a bound proportional to the
// input. Any mismatch aborts, so libFuzzer keeps the input as a crash artifact.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/InstallSession.h"
#include "engine/InstallSteps.h"
#include "engine/TextFile.h"
#include "engine/platform/Cp1256.h"
#include "engine/platform/ErrorCodes.h"
#include "engine/platform/memory/MemoryPlatform.h"
#include "tests/engine/AllocationPeak.h"

#if !INSTALLER_HAVE_ALLOCATION_PEAK
#error "the list-file fuzzer needs AddressSanitizer's allocator hooks"
#endif

namespace installer {
namespace {

using Strings = std::vector<std::string>;

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "list-file fuzzer: %s%s%s\n", what, detail.empty() ? "" : ": ",
               detail.c_str());
  std::abort();
}

void Require(bool condition, const char* what, const std::string& detail = {}) {
  if (!condition) Fail(what, detail);
}

// --- memory accounting -----------------------------------------------------------------------

// Largest peak of each measured part over the whole run, reported when the run ends.
struct Largest {
  const char* part;
  int64_t peak;
  size_t inputSize;
};
std::vector<Largest>* gLargest = nullptr;

void NoteLargest(const char* part, int64_t peak, size_t inputSize) {
  for (Largest& largest : *gLargest) {
    if (largest.part == part) {
      if (peak > largest.peak) largest = {part, peak, inputSize};
      return;
    }
  }
  gLargest->push_back({part, peak, inputSize});
}

void ReportLargest() {
  for (const Largest& largest : *gLargest) {
    std::fprintf(stderr, "list-file fuzzer: largest peak of %s: %lld bytes (input %zu bytes)\n",
                 largest.part, static_cast<long long>(largest.peak), largest.inputSize);
  }
}

// Measures one part of a run and checks its peak against a bound proportional to the input.
class Measure {
 public:
  Measure(const char* part, size_t inputSize) : part_(part), inputSize_(inputSize) {}
  Measure(const Measure&) = delete;
  Measure& operator=(const Measure&) = delete;

  /// Ends the measurement and checks that the peak stayed within
  /// `factor` * input + `allowance` bytes.
  void Check(int64_t factor, int64_t allowance) {
    const int64_t peak = peak_.Stop();
    const int64_t bound = factor * static_cast<int64_t>(inputSize_) + allowance;
    NoteLargest(part_, peak, inputSize_);
    Require(peak <= bound, "memory beyond the input's bound",
            std::string(part_) + " peak " + std::to_string(peak) + " > " +
                std::to_string(bound) + " for " + std::to_string(inputSize_) + " input bytes");
  }

 private:
  const char* part_;
  size_t inputSize_;
  testing::AllocationPeak peak_;
};

// Room for the parts that do not grow with the input: the reader's 4 KiB block and the
// machine's bookkeeping for one open file; for the steps also the folders, files and
// registry keys their machines create.
constexpr int64_t kReaderAllowance = int64_t{64} << 10;
constexpr int64_t kStepAllowance = int64_t{256} << 10;

// Bytes held by a vector of strings, counting each heap block generously.
int64_t HeldBytes(const Strings& strings) {
  int64_t bytes = static_cast<int64_t>(strings.capacity() * sizeof(std::string));
  for (const std::string& s : strings) bytes += static_cast<int64_t>(s.capacity()) + 1;
  return bytes;
}

// --- the reading rules, independently --------------------------------------------------------

Strings ModelLines(std::string_view bytes) {
  const std::string_view text = bytes.substr(0, bytes.find('\x1A'));
  Strings lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t lf = text.find('\n', start);
    const size_t end = lf == std::string_view::npos ? text.size() : lf;
    std::string line;
    for (size_t i = start; i < end; ++i) {
      if (text[i] != '\r') line += text[i];
    }
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// Well-formed UTF-8 by the table of byte ranges in the Unicode standard (D92), written apart
// from the engine's decoder.
bool ModelIsUtf8(std::string_view text) {
  const auto in = [](unsigned char b, int low, int high) { return b >= low && b <= high; };
  size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    const auto at = [&](size_t k) {
      return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
    };
    size_t n = 0;
    if (b0 <= 0x7F) {
      n = 1;
    } else if (in(b0, 0xC2, 0xDF) && in(at(1), 0x80, 0xBF)) {
      n = 2;
    } else if ((b0 == 0xE0 && in(at(1), 0xA0, 0xBF)) ||
               ((in(b0, 0xE1, 0xEC) || in(b0, 0xEE, 0xEF)) && in(at(1), 0x80, 0xBF)) ||
               (b0 == 0xED && in(at(1), 0x80, 0x9F))) {
      n = in(at(2), 0x80, 0xBF) ? 3 : 0;
    } else if ((b0 == 0xF0 && in(at(1), 0x90, 0xBF)) ||
               (in(b0, 0xF1, 0xF3) && in(at(1), 0x80, 0xBF)) ||
               (b0 == 0xF4 && in(at(1), 0x80, 0x8F))) {
      n = in(at(2), 0x80, 0xBF) && in(at(3), 0x80, 0xBF) ? 4 : 0;
    }
    if (n == 0) return false;
    i += n;
  }
  return true;
}

// The lines as the steps get them: the text before any Ctrl-Z is UTF-8 when it is well-formed
// and holds a byte of 0x80 or more, else code page 1256; a UTF-8 byte-order mark opening the
// first line is dropped.
Strings ModelListText(std::string_view bytes, Strings lines) {
  const std::string_view text = bytes.substr(0, bytes.find('\x1A'));
  const bool high = std::any_of(text.begin(), text.end(),
                                [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  const bool utf8 = high && ModelIsUtf8(text);
  if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0) lines[0].erase(0, 3);
  if (!utf8) {
    for (std::string& line : lines) line = Cp1256ToUtf8(line);
  }
  return lines;
}

std::string Shown(const std::string& text) {
  std::string shown;
  for (const char c : text.substr(0, 64)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      shown += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      shown += hex;
    }
  }
  if (text.size() > 64) shown += "... (" + std::to_string(text.size()) + " bytes)";
  return shown;
}

// --- 1. the bare reader ----------------------------------------------------------------------

void ReadAgainstModel(const std::string& bytes, const Strings& expected, bool shortReads) {
  MemoryPlatform platform;
  platform.AddFile("C:\\list.txt", bytes);
  if (shortReads) platform.FailNth(MemoryPlatform::Op::Read, 1, kErrorReadFault, true);
  {
    Measure measure(shortReads ? "reader, short reads" : "reader", bytes.size());
    TextReader reader(platform, "C:\\list.txt");
    size_t count = 0;
    while (!reader.Eof()) {
      // More lines than the model holds also stops a reader that never reaches the end.
      Require(count < expected.size(), "more lines than the text holds",
              "line " + std::to_string(count + 1));
      const std::string line = reader.ReadLine();
      Require(line == expected[count], "wrong line",
              "line " + std::to_string(count + 1) + " read as \"" + Shown(line) +
                  "\", expected \"" + Shown(expected[count]) + "\"");
      ++count;
    }
    Require(count == expected.size(), "lines lost at the end",
            std::to_string(count) + " of " + std::to_string(expected.size()));
    Require(reader.ReadLine().empty() && reader.Eof(), "reading past the end gave text");
    // The reader holds its block and one line at a time.
    measure.Check(4, kReaderAllowance);
  }
  Require(platform.OpenStreams() == 0, "list file left open");
}

// --- machines for the steps ------------------------------------------------------------------

void AddMediumDrive(MemoryPlatform& platform) {
  MemoryPlatform::DriveInfo cd;
  cd.type = MemoryPlatform::DriveType::CdRom;
  cd.label = "PRODUCT";
  cd.freeBytes = 0;
  platform.AddDrive('D', cd);
  platform.SetEnumerationOrder(MemoryPlatform::EnumerationOrder::ByName);
}

constexpr const char* kSystem32 = "C:\\WINDOWS\\System32\\";

// --- 2. the system-files step ----------------------------------------------------------------

void SystemStep(const std::string& bytes, const Strings& lines) {
  MemoryPlatform platform;
  AddMediumDrive(platform);
  // Libraries with and without the entry point, one already in the system folder, files of
  // every kind and a subfolder, so that list lines can hit every branch.
  const struct {
    const char* name;
    std::vector<std::string> exports;
  } libraries[] = {{"a.dll", {"DllRegisterServer"}},
                   {"b.ocx", {"DllUnregisterServer"}},
                   {"Sub\\c.dll", {"DllRegisterServer"}}};
  for (const auto& library : libraries) {
    platform.AddFile(std::string("D:\\System\\") + library.name, "MZ");
    platform.AddLibrary(kSystem32 + std::string(library.name), library.exports);
  }
  platform.AddFile("D:\\System\\hidden.dll", "h", kAttrHidden | kAttrSystem);
  platform.AddFile("D:\\System\\empty.dll", "");
  platform.AddFile(std::string(kSystem32) + "present.dll", "MZ");
  platform.AddLibrary(std::string(kSystem32) + "present.dll", {"DllRegisterServer"});
  platform.AddFile("D:\\System\\SYSTEM.TXT", bytes);
  platform.SetCurrentDir("D:\\");

  InstallSession session(platform);
  InitializeSession(session);
  {
    Measure measure("system-files step", bytes.size());
    try {
      InstallSystemFiles(session);
    } catch (const std::exception& e) {
      Fail("system-files step raised", e.what());
    }
    // Each line is read, joined to the folder and looked up once; the machine's own log of
    // library calls grows with the lines and is allowed for separately.
    measure.Check(16, kStepAllowance + 2 * HeldBytes(platform.libraryCalls));
  }

  // The list file is copied like any other non-empty file, byte for byte.
  const auto copied = platform.FileContent(std::string(kSystem32) + "SYSTEM.TXT");
  if (bytes.empty()) {
    Require(!copied.has_value(), "empty SYSTEM.TXT copied");
  } else {
    Require(copied == bytes, "SYSTEM.TXT copied with other content");
  }

  // Every line naming a loadable file of the system folder by a bare name (no folder, drive
  // or stream part, not the folder itself or its parent, no NUL) loads it once, in list order,
  // and releases it again. Which paths load is asked of the machine after the step.
  const Strings calls = platform.libraryCalls;
  Strings loads;
  for (const std::string& call : calls) {
    if (call.rfind("load ", 0) == 0) loads.push_back(call);
  }
  Strings expected;
  for (const std::string& line : lines) {
    const bool bare = line != "" && line != "." && line != ".." &&
                      std::none_of(line.begin(), line.end(), [](char c) {
                        return c == '\\' || c == '/' || c == ':' || c == '\0';
                      });
    if (!bare) continue;
    const std::string path = kSystem32 + line;
    if (!platform.FileExists(path)) continue;
    const LibraryHandle library = platform.LoadLibrary(path);
    if (library == 0) continue;
    platform.FreeLibrary(library);
    expected.push_back("load " + path);
  }
  Require(loads == expected, "libraries loaded other than the list says",
          std::to_string(loads.size()) + " loads, " + std::to_string(expected.size()) +
              " expected");
  const auto frees = std::count_if(calls.begin(), calls.end(),
                                   [](const std::string& c) { return c.rfind("free ", 0) == 0; });
  Require(frees == static_cast<std::ptrdiff_t>(loads.size()), "library left loaded");
  Require(platform.OpenStreams() == 0 && platform.OpenSearches() == 0,
          "stream or search left open");
}

// --- 3. the font step ------------------------------------------------------------------------

std::string FontName(size_t number) {
  return "f" + std::string(number < 10 ? "0" : "") + std::to_string(number) + ".ttf";
}

// Value names compare as the registry does: ASCII letters without regard to case.
bool SameValueName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto fold = [](char c) {
             return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
           };
           return fold(x) == fold(y);
         });
}

void FontStep(const std::string& bytes, const Strings& lines) {
  // Pairs of lines, at most 20; an odd last line has an empty value name.
  std::vector<std::pair<std::string, std::string>> pairs;
  const auto capacity = static_cast<size_t>(kFontTableCapacity);
  for (size_t i = 0; i < lines.size() && pairs.size() < capacity; i += 2) {
    pairs.emplace_back(lines[i], i + 1 < lines.size() ? lines[i + 1] : std::string());
  }
  // Two fonts more than the list names: some fonts always go without a pair, and a full
  // table meets a 21st and 22nd font.
  const size_t fontFiles = pairs.size() + 2;

  MemoryPlatform platform;
  AddMediumDrive(platform);
  for (size_t i = 1; i <= fontFiles; ++i) platform.AddFile("D:\\Fonts\\" + FontName(i), "font");
  platform.AddFile("D:\\Fonts\\empty.fon", "");
  platform.AddFile("D:\\Fonts\\FONT.TXT", bytes);
  platform.SetCurrentDir("D:\\");

  InstallSession session(platform);
  InitializeSession(session);
  {
    Measure measure("font step", bytes.size());
    try {
      InstallFonts(session);
    } catch (const std::exception& e) {
      Fail("font step raised", e.what());
    }
    // The table, the lines being read and both keys' values each hold at most the input.
    measure.Check(16, kStepAllowance);
  }

  Require(session.FontTable == pairs, "font table differs from the list's pairs",
          std::to_string(session.FontTable.size()) + " pairs, " + std::to_string(pairs.size()) +
              " expected");

  // Font k writes pair k (data, name), or "" into the default value when it has none; a later
  // write to the same name replaces the earlier value in place.
  std::vector<std::pair<std::string, std::string>> values;  // (name, data)
  for (size_t k = 0; k < fontFiles; ++k) {
    std::string name, data;
    if (k < pairs.size()) {
      data = pairs[k].first;
      name = pairs[k].second;
    }
    const auto same = std::find_if(values.begin(), values.end(),
                                   [&](const auto& v) { return SameValueName(v.first, name); });
    if (same == values.end()) {
      values.emplace_back(name, data);
    } else {
      same->second = data;
    }
  }
  for (const char* key : {kFontsKey, kFontsKeyNt}) {
    const Strings names = platform.RegistryValueNames(kHKeyLocalMachine, key);
    Require(names.size() == values.size(), "number of font values",
            std::string(key) + ": " + std::to_string(names.size()) + ", expected " +
                std::to_string(values.size()));
    for (size_t i = 0; i < names.size(); ++i) {
      Require(names[i] == values[i].first, "font value name",
              "\"" + Shown(names[i]) + "\", expected \"" + Shown(values[i].first) + "\"");
      const auto value = platform.RegistryValue(kHKeyLocalMachine, key, names[i]);
      Require(value.has_value() && value->first == kRegSz &&
                  value->second == values[i].second + '\0',
              "font value data", Shown(values[i].first));
    }
  }
  for (size_t i = 1; i <= fontFiles; ++i) {
    Require(platform.FileContent("C:\\WINDOWS\\Fonts\\" + FontName(i)) == "font",
            "font not copied", FontName(i));
  }
  Require(!platform.Exists("C:\\WINDOWS\\Fonts\\FONT.TXT"), "the list was installed as a font");
  Require(platform.OpenStreams() == 0 && platform.OpenSearches() == 0 && platform.OpenKeys() == 0,
          "stream, search or key left open");
}

}  // namespace
}  // namespace installer

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  installer::gLargest = new std::vector<installer::Largest>();
  std::atexit(installer::ReportLargest);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace installer;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const Strings lines = ModelLines(bytes);
  ReadAgainstModel(bytes, lines, false);
  ReadAgainstModel(bytes, lines, true);
  // The reader works in blocks of 4096 bytes. Behind a filler that ends the first block
  // 1 to 64 bytes into the input, line ends, CRs and Ctrl-Z of short inputs meet the block
  // boundary too.
  const std::string padded = std::string(4032 + (size == 0 ? 0 : data[0] % 64), 'p') + bytes;
  const Strings paddedLines = ModelLines(padded);
  ReadAgainstModel(padded, paddedLines, false);
  ReadAgainstModel(padded, paddedLines, true);
  const Strings listLines = ModelListText(bytes, lines);
  SystemStep(bytes, listLines);
  FontStep(bytes, listLines);
  return 0;
}
