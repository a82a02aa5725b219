// The Win32 platform on the real file system, registry and shell (under Wine in the build).
// Every test works in its own folder below one temporary folder per run, removed at the end.
// Expected results are checked with the wide API directly, not through the platform.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <thread>

#include "engine/Errors.h"
#include "engine/platform/ErrorCodes.h"
#include "engine/platform/win32/WideText.h"
#include "engine/platform/win32/Win32Platform.h"
#include "engine/platform/win32/WindowsApi.h"

#include <aclapi.h>
#include <sddl.h>
// SHDeleteKeyW removes a key with its subkeys on every Windows the builds start on (XP has no
// RegDeleteTreeW).
#include <shlwapi.h>

namespace installer {
namespace {

// Persian names as the program carries them and as the UTF-16 they must have on disk.
const std::string kFolderName = "فايل";  // "file", with the Arabic yeh code page 1256 has
const std::wstring kFolderWide = L"\u0641\u0627\u064A\u0644";
const std::string kFileName = "متن.txt";  // "text.txt"
const std::wstring kFileWide = L"\u0645\u062A\u0646.txt";
const std::string kLinkName = "متن.lnk";
const std::wstring kLinkWide = L"\u0645\u062A\u0646.lnk";

std::wstring LongForm(const std::wstring& path) { return L"\\\\?\\" + path; }

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(LongForm(path).c_str()); }
bool IsFile(const std::wstring& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
bool IsFolder(const std::wstring& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size());
}

std::string ReadWholeFile(const std::wstring& path) {
  const HANDLE file = CreateFileW(LongForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes(4096, '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

// Removes a folder tree, clearing the attributes that would stop the deletes.
void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  const HANDLE search = FindFirstFileW(LongForm(folder + L"\\*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      SetFileAttributesW(LongForm(path).c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileW(LongForm(path).c_str());
      }
    } while (FindNextFileW(search, &data));
    FindClose(search);
  }
  RemoveDirectoryW(LongForm(folder).c_str());
}

// A name no earlier run has used: process id and the tick count.
std::wstring UniqueName(const wchar_t* prefix) {
  return prefix + std::to_wstring(GetCurrentProcessId()) + L"_" +
         std::to_wstring(GetTickCount());
}

std::string ReadAll(FileStream& stream) {
  std::string bytes;
  char buffer[1000];
  for (int64_t n; (n = stream.Read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
  return bytes;
}

// Wine's GetLogicalDrives leaves out drives linked after its services started, though they
// work; asking for the root folder sees them.
bool DrivePresent(int drive) {
  const wchar_t root[] = {static_cast<wchar_t>(L'A' + drive - 1), L':', L'\\', 0};
  return GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES;
}

struct Entry {
  int64_t size;
  uint32_t attr;
};

std::map<std::string, Entry> Enumerate(Platform& platform, const std::string& pattern,
                                       uint32_t attr) {
  std::map<std::string, Entry> entries;
  SearchRec rec;
  for (int r = platform.FindFirst(pattern, attr, rec); r == 0; r = platform.FindNext(rec)) {
    entries[rec.Name] = {rec.Size, rec.Attr};
  }
  platform.FindClose(rec);
  return entries;
}

std::set<std::string> Names(const std::map<std::string, Entry>& entries) {
  std::set<std::string> names;
  for (const auto& [name, entry] : entries) names.insert(name);
  return names;
}

// ---------------------------------------------------------------- code page and paths

TEST(WideTextTest, PersianTextRoundTripsThroughUtf8) {
  EXPECT_EQ(DisplayWide(kFolderName), kFolderWide);
  EXPECT_EQ(WideToUtf8(kFolderWide), kFolderName);
  EXPECT_EQ(DisplayWide(kFileName), kFileWide);
  // Registry multi-strings carry NULs inside.
  EXPECT_EQ(DisplayWide(std::string("a\0ا\0", 5)), std::wstring(L"a\0\u0627\0", 4));
  EXPECT_EQ(WideToUtf8(std::wstring(L"a\0\u0627\0", 4)), std::string("a\0ا\0", 5));
}

// regression: names with a character code page 1256 lacks (Persian yeh) came back as '?', which
// names no file; now they come back as they are, and a text that is no name names nothing.
TEST(WideTextTest, EveryNameComesBackAsItIs) {
  EXPECT_EQ(WideToUtf8(L"\u06CC.txt"), "ی.txt");
  EXPECT_EQ(WideToUtf8(L"\u4E2D"), "中");
  std::wstring wide;
  EXPECT_TRUE(ToWide("می\u200Cخواهم", wide));
  EXPECT_EQ(wide, L"\u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645");
  EXPECT_FALSE(ToWide("\xE3\xCA\xE4.txt", wide));  // code page 1256 bytes are no UTF-8
  EXPECT_EQ(FileSystemPath(std::string("C:\\\xE3\xCA")), L"");
}

TEST(FileSystemPathTest, LongPathsGetTheLongFormAndShortOnesStayAsGiven) {
  const std::string name247 = "C:\\" + std::string(244, 'a');
  const std::string name248 = "C:\\" + std::string(245, 'a');
  const std::string unc = "\\\\server\\share\\" + std::string(300, 'u');
  const std::wstring wide245(245, L'a');
  const struct {
    std::string path;
    std::wstring expected;
  } cases[] = {
      {"C:\\short\\file.txt", L"C:\\short\\file.txt"},
      {"relative\\file.txt", L"relative\\file.txt"},  // resolved by the system, not here
      {"C:/short/file.txt", L"C:/short/file.txt"},
      {"C:\\" + kFolderName, L"C:\\" + kFolderWide},
      {name247, std::wstring(name247.begin(), name247.end())},
      {name248, L"\\\\?\\C:\\" + wide245},
      {"C:/" + std::string(245, 'a'), L"\\\\?\\C:\\" + wide245},  // the prefix needs backslashes
      {"C:\\x\\..\\" + std::string(245, 'a'), L"\\\\?\\C:\\" + wide245},  // and no ".."
      {"C:\\" + kFolderName + "\\" + std::string(250, 'b'),
       L"\\\\?\\C:\\" + kFolderWide + L"\\" + std::wstring(250, L'b')},
      {unc, L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'u')},
      {"\\\\?\\C:\\already", L"\\\\?\\C:\\already"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileSystemPath(c.path), c.expected) << c.path;
}

// A relative path is short or long by its full form: the current directory counts.
TEST(FileSystemPathTest, RelativePathsAreMeasuredWithTheCurrentDirectory) {
  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  std::wstring deep = std::wstring(temp) + L"fsp-" + std::to_wstring(GetCurrentProcessId()) +
                      L"\\" + std::wstring(150, L'd');
  ASSERT_TRUE(CreateDirectoryW(deep.substr(0, deep.rfind(L'\\')).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(deep.c_str()));
  constexpr size_t kThreshold = 248;  // full forms this long get the long-path prefix
  const size_t room = kThreshold - deep.size() - 1;  // what fits after it
  const std::string fits(room - 1, 'f');
  const std::string overflows(room + 1, 'o');
  EXPECT_EQ(FileSystemPath(fits), std::wstring(fits.begin(), fits.end()));
  EXPECT_EQ(FileSystemPath(overflows),
            L"\\\\?\\" + deep + L"\\" + std::wstring(overflows.begin(), overflows.end()));
  EXPECT_EQ(FileSystemPath("..\\" + overflows),  // ".." takes a level off: short again
            L"..\\" + std::wstring(overflows.begin(), overflows.end()));
  SetCurrentDirectoryW(previous);
  RemoveDirectoryW(deep.c_str());
  RemoveDirectoryW(deep.substr(0, deep.rfind(L'\\')).c_str());
}

// ---------------------------------------------------------------- fixture on real folders

// The run's temporary folder inside the prefix, created for the first test that needs one and
// removed after the last test. (Created on demand because a death test's child process runs
// the environments too but ends without tearing them down.)
class TempFolderEnvironment : public testing::Environment {
 public:
  static const std::wstring& Root() {
    if (root.empty()) {
      wchar_t temp[MAX_PATH + 1];
      const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
      const std::wstring folder = std::wstring(temp, length) + UniqueName(L"win32_tests_");
      if (length > 0 && CreateDirectoryW(folder.c_str(), nullptr)) root = folder;
    }
    return root;
  }
  void TearDown() override {
    if (!root.empty()) RemoveTree(root);
  }

 private:
  static inline std::wstring root;
};

[[maybe_unused]] testing::Environment* const tempFolderEnvironment =
    testing::AddGlobalTestEnvironment(new TempFolderEnvironment);

class Win32PlatformTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(TempFolderEnvironment::Root().empty()) << GetLastError();
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    wideFolder = TempFolderEnvironment::Root() + L"\\" + DisplayWide(test->test_suite_name()) +
                 L"." + DisplayWide(test->name());
    ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr)) << GetLastError();
    folder = WideToUtf8(wideFolder);
    wchar_t current[MAX_PATH + 1];
    savedCurrentDir.assign(current, GetCurrentDirectoryW(MAX_PATH + 1, current));
  }

  void TearDown() override { SetCurrentDirectoryW(savedCurrentDir.c_str()); }

  std::string Path(const std::string& relative) const { return folder + "\\" + relative; }
  std::wstring WidePath(const std::wstring& relative) const {
    return wideFolder + L"\\" + relative;
  }

  Win32Platform platform;
  std::string folder;       // this test's folder, code page 1256
  std::wstring wideFolder;  // the same, UTF-16
  std::wstring savedCurrentDir;
};

// ---------------------------------------------------------------- enumeration

class EnumerationTest : public Win32PlatformTest {
 protected:
  static constexpr int64_t kHugeSize = (int64_t{1} << 32) + 5;  // needs nFileSizeHigh

  void SetUp() override {
    Win32PlatformTest::SetUp();
    WriteWholeFile(WidePath(L"plain.txt"), "12345");
    WriteWholeFile(WidePath(L"hidden.txt"), "h");
    WriteWholeFile(WidePath(L"system.txt"), "s");
    ASSERT_TRUE(SetFileAttributesW(WidePath(L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW(WidePath(L"system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(CreateDirectoryW(WidePath(L"sub").c_str(), nullptr));
    // A sparse file: its size costs no disk space.
    const HANDLE huge = CreateFileW(WidePath(L"huge.bin").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(huge, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = kHugeSize;
    const bool sized = SetFilePointerEx(huge, size, nullptr, FILE_BEGIN) && SetEndOfFile(huge);
    CloseHandle(huge);
    ASSERT_TRUE(sized);
  }
};

TEST_F(EnumerationTest, AttributeMaskSelectsHiddenAndSystemEntries) {
  const std::set<std::string> always = {".", "..", "plain.txt", "sub", "huge.bin"};
  auto with = [&](std::initializer_list<std::string> more) {
    std::set<std::string> names = always;
    names.insert(more);
    return names;
  };
  const struct {
    uint32_t attr;
    std::set<std::string> names;
  } cases[] = {
      {kAttrDirectory, always},
      {0, always},  // folders are not filtered
      {kAttrDirectory | kAttrHidden, with({"hidden.txt"})},
      {kAttrDirectory | kAttrSystem, with({"system.txt"})},
      {kAttrAnyFile, with({"hidden.txt", "system.txt"})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Names(Enumerate(platform, Path("*"), c.attr)), c.names) << "attr " << c.attr;
  }
}

TEST_F(EnumerationTest, EntriesCarrySizeAndFullAttributeWord) {
  const auto entries = Enumerate(platform, Path("*"), kAttrAnyFile);
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries.at("plain.txt").size, 5);
  EXPECT_EQ(entries.at("huge.bin").size, kHugeSize);
  EXPECT_EQ(entries.at("sub").size, 0);
  EXPECT_NE(entries.at("sub").attr & kAttrDirectory, 0u);
  EXPECT_NE(entries.at(".").attr & kAttrDirectory, 0u);
  EXPECT_EQ(entries.at("plain.txt").attr & (kAttrDirectory | kAttrHidden | kAttrSystem), 0u);
  EXPECT_EQ(entries.at("hidden.txt").attr & (kAttrHidden | kAttrSystem), kAttrHidden);
  EXPECT_EQ(entries.at("system.txt").attr & (kAttrHidden | kAttrSystem), kAttrSystem);
  // The whole word comes through, not only the bits the mask knows (archive is 0x20).
  EXPECT_EQ(entries.at("plain.txt").attr & kAttrArchive, kAttrArchive);
}

TEST_F(EnumerationTest, FindFirstReportsWhyNothingWasDelivered) {
  const struct {
    std::string pattern;
    uint32_t attr;
    int result;
  } cases[] = {
      {"plain.txt", kAttrDirectory, 0},
      {"*.none", kAttrAnyFile, static_cast<int>(kErrorFileNotFound)},
      {"missing\\*", kAttrAnyFile, static_cast<int>(kErrorPathNotFound)},
      // Found, but every match is filtered out: the search is closed by FindFirst itself.
      {"hidden.txt", kAttrDirectory, static_cast<int>(kErrorNoMoreFiles)},
      {"hidden.txt", kAttrHidden, 0},
  };
  for (const auto& c : cases) {
    SearchRec rec;
    EXPECT_EQ(platform.FindFirst(Path(c.pattern), c.attr, rec), c.result) << c.pattern;
    if (c.result == 0) {
      EXPECT_EQ(rec.Name, c.pattern);
      EXPECT_EQ(platform.FindNext(rec), static_cast<int>(kErrorNoMoreFiles));
    } else {
      EXPECT_EQ(rec.handle, 0u) << c.pattern;
    }
    platform.FindClose(rec);
    platform.FindClose(rec);  // a second close is harmless
    EXPECT_EQ(rec.handle, 0u);
  }
}

TEST_F(EnumerationTest, CopyOfRecordContinuesTheSearch) {
  const auto all = Names(Enumerate(platform, Path("*"), kAttrAnyFile));
  std::set<std::string> seen;
  SearchRec first;
  ASSERT_EQ(platform.FindFirst(Path("*"), kAttrAnyFile, first), 0);
  seen.insert(first.Name);
  SearchRec copy = first;  // as a caller saving the record before recursing
  while (platform.FindNext(copy) == 0) seen.insert(copy.Name);
  platform.FindClose(copy);
  EXPECT_EQ(seen, all);
}

// ---------------------------------------------------------------- Persian names

TEST_F(Win32PlatformTest, PersianFolderAndFileNamesRoundTrip) {
  ASSERT_TRUE(platform.CreateDir(Path(kFolderName)));
  EXPECT_TRUE(IsFolder(WidePath(kFolderWide)));  // the name on disk is the Persian one

  const std::string filePath = Path(kFolderName + "\\" + kFileName);
  {
    OpenResult created = platform.OpenFile(filePath, OpenMode::CreateExclusive);
    ASSERT_NE(created.stream, nullptr) << created.error;
    EXPECT_EQ(created.stream->Write("persian", 7), 7);
  }
  EXPECT_EQ(ReadWholeFile(WidePath(kFolderWide + L"\\" + kFileWide)), "persian");

  const auto entries = Enumerate(platform, Path(kFolderName + "\\*.txt"), kAttrAnyFile);
  EXPECT_EQ(Names(entries), std::set<std::string>{kFileName});
  EXPECT_TRUE(platform.FileExists(filePath));
  EXPECT_TRUE(platform.DirectoryExists(Path(kFolderName)));

  ASSERT_EQ(platform.SetCurrentDir(Path(kFolderName)), 0u);
  EXPECT_EQ(platform.GetCurrentDir(), Path(kFolderName));
  EXPECT_EQ(platform.ExpandFileName(kFileName), filePath);
  OpenResult read = platform.OpenFile(kFileName, OpenMode::ReadShared);  // relative, short
  ASSERT_NE(read.stream, nullptr) << read.error;
  EXPECT_EQ(ReadAll(*read.stream), "persian");
}

// The uninstaller removes a shortcut only where its target is this installation's main
// program: the target must come back as it was saved, Persian folder included.
TEST_F(Win32PlatformTest, ShortcutTargetsComeBackAsSaved) {
  for (const std::string& name : {std::string("Latin"), kFolderName}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(platform.CreateDir(Path(name)) || platform.DirectoryExists(Path(name)));
    const std::string target = Path(name) + "\\Daneshyar 2.EXE";
    WriteWholeFile(WidePath(DisplayWide(name) + L"\\Daneshyar 2.EXE"), "MZ");
    const std::unique_ptr<ShellLink> link = platform.CreateShellLink();
    ASSERT_GE(link->SetPath(target), 0);
    ASSERT_GE(link->SetWorkingDirectory(Path(name)), 0);
    const std::string linkPath = Path(name + ".lnk");
    ASSERT_GE(link->Save(linkPath), 0);
    EXPECT_EQ(platform.ShellLinkTarget(linkPath), target);
  }
}

// regression: a name outside code page 1256 came back as '?' and named no file. The Persian
// and the Arabic yeh are two names, each reaching its own file.
TEST_F(Win32PlatformTest, PersianAndArabicYehNameTheirOwnFiles) {
  WriteWholeFile(WidePath(L"\u06CC.txt"), "persian yeh");  // not in code page 1256
  WriteWholeFile(WidePath(L"\u064A.txt"), "arabic yeh");   // 0xED there
  const auto entries = Enumerate(platform, Path("*.txt"), kAttrAnyFile);
  EXPECT_EQ(Names(entries), (std::set<std::string>{"ی.txt", "ي.txt"}));
  EXPECT_TRUE(platform.FileExists(Path("ی.txt")));
  OpenResult persian = platform.OpenFile(Path("ی.txt"), OpenMode::ReadShared);
  ASSERT_NE(persian.stream, nullptr) << persian.error;
  EXPECT_EQ(ReadAll(*persian.stream), "persian yeh");
  persian.stream.reset();
  EXPECT_TRUE(platform.DeleteFile(Path("ی.txt")));
  EXPECT_EQ(ReadWholeFile(WidePath(L"\u064A.txt")), "arabic yeh");
  // Bytes that are no UTF-8 name no file at all: a clear failure, never another file.
  const std::string notUtf8 = Path("\xED.txt");
  EXPECT_FALSE(platform.FileExists(notUtf8));
  EXPECT_EQ(platform.OpenFile(notUtf8, OpenMode::ReadShared).error,
            static_cast<uint32_t>(ERROR_INVALID_NAME));
  EXPECT_EQ(platform.OpenFile(notUtf8, OpenMode::CreateExclusive).error,
            static_cast<uint32_t>(ERROR_INVALID_NAME));
  EXPECT_EQ(platform.ExpandFileName(notUtf8), notUtf8);
  // Nor does a name with a NUL in it: the wide functions would stop there and reach the file
  // named by the part before it.
  const std::string withNul = Path("\u064A.txt") + std::string(1, '\0') + ".bak";
  EXPECT_FALSE(platform.FileExists(withNul));
  EXPECT_EQ(platform.OpenFile(withNul, OpenMode::ReadShared).error,
            static_cast<uint32_t>(ERROR_INVALID_NAME));
  EXPECT_FALSE(platform.DeleteFile(withNul));
  EXPECT_EQ(ReadWholeFile(WidePath(L"\u064A.txt")), "arabic yeh");
}

// ---------------------------------------------------------------- files and folders

TEST_F(Win32PlatformTest, ExistenceTellsFilesFromFolders) {
  WriteWholeFile(WidePath(L"file.txt"), "x");
  ASSERT_TRUE(CreateDirectoryW(WidePath(L"dir").c_str(), nullptr));
  const struct {
    std::string path;
    bool file;
    bool directory;
  } cases[] = {
      {Path("file.txt"), true, false},
      {Path("FILE.TXT"), true, false},  // the file system ignores letter case
      {Path("dir"), false, true},
      {Path("dir\\"), false, true},
      {Path("missing"), false, false},
      {Path("missing\\file.txt"), false, false},
      {"", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform.FileExists(c.path), c.file) << c.path;
    EXPECT_EQ(platform.DirectoryExists(c.path), c.directory) << c.path;
  }
}

TEST_F(Win32PlatformTest, CreateDeleteAndRename) {
  EXPECT_TRUE(platform.CreateDir(Path("one")));
  EXPECT_FALSE(platform.CreateDir(Path("one")));               // exists
  EXPECT_FALSE(platform.CreateDir(Path("missing\\two")));      // one level only
  EXPECT_TRUE(IsFolder(WidePath(L"one")));
  EXPECT_FALSE(IsFolder(WidePath(L"missing")));

  WriteWholeFile(WidePath(L"a.txt"), "a");
  WriteWholeFile(WidePath(L"b.txt"), "b");
  EXPECT_FALSE(platform.RenameFile(Path("a.txt"), Path("b.txt")));  // the target exists
  EXPECT_EQ(ReadWholeFile(WidePath(L"b.txt")), "b");
  EXPECT_TRUE(platform.RenameFile(Path("a.txt"), Path("one\\c.txt")));
  EXPECT_FALSE(IsFile(WidePath(L"a.txt")));
  EXPECT_EQ(ReadWholeFile(WidePath(L"one\\c.txt")), "a");
  EXPECT_TRUE(platform.RenameFile(Path("one"), Path("renamed")));
  EXPECT_TRUE(IsFile(WidePath(L"renamed\\c.txt")));

  EXPECT_TRUE(platform.DeleteFile(Path("b.txt")));
  EXPECT_FALSE(IsFile(WidePath(L"b.txt")));
  EXPECT_FALSE(platform.DeleteFile(Path("b.txt")));
  EXPECT_FALSE(platform.DeleteFile(Path("renamed")));  // a folder is no file
}

TEST_F(Win32PlatformTest, ReplaceFileTakesThePlaceOfAFileButNotOfAFolderOrReadOnlyFile) {
  enum class Target { Missing, File, ReadOnlyFile, Folder };
  const struct {
    Target target;
    bool sourceExists;
    uint32_t error;
  } cases[] = {
      {Target::Missing, true, kErrorSuccess},
      {Target::File, true, kErrorSuccess},
      {Target::ReadOnlyFile, true, kErrorAccessDenied},
      {Target::Folder, true, kErrorAccessDenied},
      {Target::Missing, false, kErrorFileNotFound},
  };
  int round = 0;
  for (const auto& c : cases) {
    const std::wstring dir = WidePath(std::to_wstring(++round));
    ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
    if (c.sourceExists) WriteWholeFile(dir + L"\\part", "new");
    if (c.target == Target::Folder) {
      ASSERT_TRUE(CreateDirectoryW((dir + L"\\" + kFileWide).c_str(), nullptr));
    } else if (c.target != Target::Missing) {
      WriteWholeFile(dir + L"\\" + kFileWide, "old");
      if (c.target == Target::ReadOnlyFile) {
        SetFileAttributesW((dir + L"\\" + kFileWide).c_str(), FILE_ATTRIBUTE_READONLY);
      }
    }
    const std::string folderName = std::to_string(round);
    EXPECT_EQ(platform.ReplaceFile(Path(folderName + "\\part"), Path(folderName + "\\" + kFileName)),
              c.error)
        << "round " << round;
    const bool replaced = c.error == kErrorSuccess;
    EXPECT_EQ(IsFile(dir + L"\\part"), c.sourceExists && !replaced) << "round " << round;
    if (c.target != Target::Folder && c.sourceExists) {
      EXPECT_EQ(ReadWholeFile(dir + L"\\" + kFileWide), replaced ? "new" : "old")
          << "round " << round;
    }
  }
}

// The complete copy takes its destination's name through its open file: never over anything
// that has the name, with every form of path the engine passes (relative to the current
// folder, Persian, longer than MAX_PATH), and the stream stays usable under the new name.
TEST_F(Win32PlatformTest, RenameThroughTheOpenFileTakesOnlyAFreeName) {
  enum class Target { Missing, File, ReadOnlyFile, Folder };
  std::string deep = kFolderName;  // a folder whose files' paths pass MAX_PATH
  ASSERT_TRUE(platform.CreateDir(Path(deep)));
  while (Path(deep).size() < 280) {
    deep += "\\" + kFolderName + std::string(40, 'd');
    ASSERT_TRUE(platform.CreateDir(Path(deep)));
  }
  const struct {
    const char* name;
    std::string folder;  // relative to the test's folder
    std::string target;  // the new name, in that folder
    Target existing;
    bool relative;       // passed relative to the current folder
    uint32_t error;
  } cases[] = {
      {"a free name", "1", "a.txt", Target::Missing, false, kErrorSuccess},
      {"a Persian name", "2", kFileName, Target::Missing, false, kErrorSuccess},
      {"relative to the current folder", "3", kFileName, Target::Missing, true, kErrorSuccess},
      {"beyond MAX_PATH", deep, kFileName, Target::Missing, false, kErrorSuccess},
      {"over a file", "4", kFileName, Target::File, false, kErrorAlreadyExists},
      {"over a read-only file", "5", kFileName, Target::ReadOnlyFile, false, kErrorAlreadyExists},
      {"over a folder", "6", kFileName, Target::Folder, false, kErrorAlreadyExists},
  };
  for (const auto& c : cases) {
    const std::wstring dir = WidePath(DisplayWide(c.folder));
    if (c.folder != deep) {
      ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr)) << c.name;
    }
    const std::wstring target = dir + L"\\" + DisplayWide(c.target);
    if (c.existing == Target::Folder) {
      ASSERT_TRUE(CreateDirectoryW(LongForm(target).c_str(), nullptr)) << c.name;
    } else if (c.existing != Target::Missing) {
      WriteWholeFile(target, "old");
      if (c.existing == Target::ReadOnlyFile) {
        SetFileAttributesW(LongForm(target).c_str(), FILE_ATTRIBUTE_READONLY);
      }
    }
    OpenResult part = platform.OpenFile(Path(c.folder + "\\part"), OpenMode::CreateNew);
    ASSERT_NE(part.stream, nullptr) << c.name << ": " << part.error;
    ASSERT_EQ(part.stream->Write("new", 3), 3) << c.name;
    if (c.relative) {
      ASSERT_TRUE(SetCurrentDirectoryW(dir.c_str())) << c.name;
    }
    const std::string newName = c.relative ? c.target : Path(c.folder + "\\" + c.target);
    EXPECT_EQ(part.stream->RenameTo(newName), c.error) << c.name;
    // Still the same open file: what is written now lands under whichever name it has.
    EXPECT_EQ(part.stream->Write("+", 1), 1) << c.name;
    part.stream.reset();
    if (c.relative) SetCurrentDirectoryW(savedCurrentDir.c_str());
    const bool renamed = c.error == kErrorSuccess;
    EXPECT_EQ(IsFile(dir + L"\\part"), !renamed) << c.name;
    if (renamed) {
      EXPECT_EQ(ReadWholeFile(target), "new+") << c.name;
      EXPECT_EQ(platform.GetAttributes(Path(c.folder + "\\" + c.target)) & kAttrDirectory, 0u)
          << c.name;
    } else if (c.existing == Target::Folder) {
      EXPECT_TRUE(IsFolder(target)) << c.name;
      EXPECT_NE(platform.GetAttributes(Path(c.folder + "\\" + c.target)) & kAttrDirectory, 0u)
          << c.name;
    } else {
      EXPECT_EQ(ReadWholeFile(target), "old") << c.name;
      EXPECT_EQ(ReadWholeFile(dir + L"\\part"), "new+") << c.name;
    }
  }
  EXPECT_EQ(platform.GetAttributes(Path("1\\none.txt")), kNoAttributes);
  EXPECT_EQ(platform.GetAttributes(Path("none\\a.txt")), kNoAttributes);
  EXPECT_EQ(platform.GetAttributes(Path("5\\" + kFileName)) & kAttrReadOnly, kAttrReadOnly);
}

TEST_F(Win32PlatformTest, OpenModesShareAsDeclared) {
  const uint32_t ok = kErrorSuccess;
  const uint32_t busy = kErrorSharingViolation;
  using M = OpenMode;
  const struct {
    OpenMode first;
    OpenMode second;
    uint32_t error;
  } cases[] = {
      {M::ReadExclusive, M::ReadExclusive, busy},
      {M::ReadExclusive, M::ReadShared, busy},
      {M::ReadShared, M::ReadShared, ok},
      {M::ReadShared, M::ReadExclusive, busy},
      {M::ReadShared, M::CreateShareRead, ok},  // a reader that lets others write
      {M::ReadShared, M::CreateExclusive, busy},
      {M::CreateShareRead, M::ReadShared, ok},  // INSTALL.CFG stays readable while written
      {M::CreateShareRead, M::ReadExclusive, busy},
      {M::CreateShareRead, M::CreateShareRead, busy},
      {M::CreateExclusive, M::ReadShared, busy},
  };
  for (const auto& c : cases) {
    WriteWholeFile(WidePath(L"shared.txt"), "data");
    OpenResult first = platform.OpenFile(Path("shared.txt"), c.first);
    ASSERT_NE(first.stream, nullptr) << first.error;
    OpenResult second = platform.OpenFile(Path("shared.txt"), c.second);
    EXPECT_EQ(second.error, c.error)
        << static_cast<int>(c.first) << " then " << static_cast<int>(c.second);
    EXPECT_EQ(second.stream != nullptr, c.error == ok);
  }
}

TEST_F(Win32PlatformTest, OpenFailuresCarryTheSystemCode) {
  const struct {
    std::string path;
    OpenMode mode;
    uint32_t error;
  } cases[] = {
      {Path("missing.txt"), OpenMode::ReadExclusive, kErrorFileNotFound},
      {Path("missing.txt"), OpenMode::ReadShared, kErrorFileNotFound},
      {Path("missing\\new.txt"), OpenMode::CreateExclusive, kErrorPathNotFound},
      {Path("missing\\new.txt"), OpenMode::CreateShareRead, kErrorPathNotFound},
  };
  for (const auto& c : cases) {
    const OpenResult result = platform.OpenFile(c.path, c.mode);
    EXPECT_EQ(result.stream, nullptr) << c.path;
    EXPECT_EQ(result.error, c.error) << c.path;
  }
}

TEST_F(Win32PlatformTest, StreamsReadWriteAndTruncateByMode) {
  {
    OpenResult created = platform.OpenFile(Path("f.bin"), OpenMode::CreateExclusive);
    ASSERT_NE(created.stream, nullptr);
    EXPECT_EQ(created.stream->Write("0123456789", 10), 10);
    EXPECT_EQ(created.stream->Size(), 10);
  }
  {
    OpenResult read = platform.OpenFile(Path("f.bin"), OpenMode::ReadExclusive);
    ASSERT_NE(read.stream, nullptr);
    char buffer[16];
    EXPECT_EQ(read.stream->Read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(read.stream->Read(buffer, 16), 6);  // fewer than asked: the rest
    EXPECT_EQ(read.stream->Read(buffer, 16), 0);  // the end
    EXPECT_EQ(read.stream->Write("x", 1), -1);    // opened for reading only
    EXPECT_EQ(read.stream->Size(), 10);
  }
  {
    OpenResult config = platform.OpenFile(Path("f.bin"), OpenMode::CreateShareRead);
    ASSERT_NE(config.stream, nullptr);
    EXPECT_EQ(config.stream->Size(), 0);  // truncated
    char buffer[4];
    EXPECT_EQ(config.stream->Read(buffer, 4), -1);  // opened for writing only
    EXPECT_EQ(config.stream->Write("abc", 3), 3);
  }
  EXPECT_EQ(ReadWholeFile(WidePath(L"f.bin")), "abc");
}

TEST_F(Win32PlatformTest, PathsLongerThanMaxPathWork) {
  // Nested folders with a Persian component until the file's path passes 260 characters;
  // each level goes through the platform, so the 248-character switch is crossed on the way.
  std::string path = folder;
  std::wstring widePath = wideFolder;
  for (int level = 0; path.size() < 300; ++level) {
    const std::string name = kFolderName + std::string(40, static_cast<char>('a' + level));
    path += "\\" + name;
    widePath += L"\\" + DisplayWide(name);
    ASSERT_TRUE(platform.CreateDir(path)) << path.size();
  }
  const std::string file = path + "\\" + kFileName;
  ASSERT_GT(file.size(), 260u);
  EXPECT_TRUE(platform.DirectoryExists(path));
  {
    OpenResult created = platform.OpenFile(file, OpenMode::CreateExclusive);
    ASSERT_NE(created.stream, nullptr) << created.error;
    EXPECT_EQ(created.stream->Write("deep", 4), 4);
  }
  EXPECT_EQ(ReadWholeFile(widePath + L"\\" + kFileWide), "deep");
  EXPECT_TRUE(platform.FileExists(file));
  {
    OpenResult read = platform.OpenFile(file, OpenMode::ReadShared);
    ASSERT_NE(read.stream, nullptr) << read.error;
    EXPECT_EQ(ReadAll(*read.stream), "deep");
  }
  EXPECT_EQ(Names(Enumerate(platform, path + "\\*.txt", kAttrAnyFile)),
            std::set<std::string>{kFileName});
  EXPECT_TRUE(platform.RenameFile(file, path + "\\renamed.txt"));
  EXPECT_TRUE(IsFile(widePath + L"\\renamed.txt"));
  EXPECT_TRUE(platform.DeleteFile(path + "\\renamed.txt"));
  EXPECT_FALSE(IsFile(widePath + L"\\renamed.txt"));
}

// ---------------------------------------------------------------- process environment

TEST_F(Win32PlatformTest, CurrentDirectoryAndExpandFileName) {
  ASSERT_TRUE(CreateDirectoryW(WidePath(L"sub").c_str(), nullptr));
  EXPECT_EQ(platform.SetCurrentDir(Path("sub")), 0u);
  EXPECT_EQ(platform.GetCurrentDir(), Path("sub"));
  EXPECT_EQ(platform.SetCurrentDir(Path("missing")), kErrorFileNotFound);
  EXPECT_EQ(platform.SetCurrentDir(Path("missing\\deeper")), kErrorPathNotFound);
  EXPECT_EQ(platform.GetCurrentDir(), Path("sub"));  // unchanged by the failures

  const std::string drive = folder.substr(0, 2);
  const struct {
    std::string path;
    std::string expected;
  } cases[] = {
      {"x.txt", Path("sub\\x.txt")},
      {"..\\x.txt", Path("x.txt")},
      {"a\\.\\b\\..\\c", Path("sub\\a\\c")},
      {"\\top.txt", drive + "\\top.txt"},
      {"C:\\x\\..\\y", "C:\\y"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform.ExpandFileName(c.path), c.expected) << c.path;
}

TEST_F(Win32PlatformTest, WindowsDirectoryIsAnExistingFolderWithDriveLetter) {
  const std::string windows = platform.GetWindowsDirectory();
  ASSERT_GE(windows.size(), 3u);
  EXPECT_EQ(windows[1], ':');
  EXPECT_NE(windows.back(), '\\');
  EXPECT_TRUE(platform.DirectoryExists(windows + "\\system32"));
}

TEST_F(Win32PlatformTest, SystemErrorMessages) {
  EXPECT_NE(platform.SystemErrorMessage(kErrorFileNotFound), "");
  EXPECT_NE(platform.SystemErrorMessage(kErrorSharingViolation), "");
  EXPECT_NE(platform.SystemErrorMessage(kErrorDiskFull), "");
  EXPECT_EQ(platform.SystemErrorMessage(0x2000FFFFu), "");  // customer code: no system text
}

// ---------------------------------------------------------------- drives

TEST_F(Win32PlatformTest, DiskSpaceOfPresentAndAbsentDrives) {
  for (const int drive : {0, 26}) {  // the current drive and Z:, which Wine always has
    const int64_t size = platform.DiskSize(drive);
    const int64_t free = platform.DiskFree(drive);
    EXPECT_GT(size, 0) << drive;
    EXPECT_GE(free, 0) << drive;
    EXPECT_LE(free, size) << drive;
  }
  int absent = 0;
  for (int drive = 3; drive <= 26 && absent == 0; ++drive) {
    if (!DrivePresent(drive)) absent = drive;
  }
  ASSERT_NE(absent, 0) << "every drive letter is in use";
  for (const int drive : {absent, -1, 27, 100}) {
    EXPECT_EQ(platform.DiskSize(drive), -1) << drive;
    EXPECT_EQ(platform.DiskFree(drive), -1) << drive;
  }
}

// The test prefix maps T: to a 2 MiB tmpfs when the fixture could mount one.
TEST_F(Win32PlatformTest, CurrentDriveFollowsTheCurrentDirectory) {
  constexpr int kDriveT = 20;
  constexpr int64_t kSmallDriveSize = 2 * 1024 * 1024;
  if (!DrivePresent(kDriveT)) GTEST_SKIP() << "no drive T:";
  EXPECT_EQ(platform.DiskSize(kDriveT), kSmallDriveSize);
  EXPECT_LE(platform.DiskFree(kDriveT), kSmallDriveSize);
  ASSERT_EQ(platform.SetCurrentDir("T:\\"), 0u);
  EXPECT_EQ(platform.DiskSize(0), kSmallDriveSize);
  ASSERT_EQ(platform.SetCurrentDir(folder), 0u);
  EXPECT_NE(platform.DiskSize(0), kSmallDriveSize);
}

// ---------------------------------------------------------------- registry

class RegistryTest : public Win32PlatformTest {
 protected:
  void SetUp() override {
    Win32PlatformTest::SetUp();
    keyPath = L"Software\\" + UniqueName(L"win32_tests_");
  }
  void TearDown() override {
    SHDeleteKeyW(HKEY_CURRENT_USER, keyPath.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, keyPath.c_str());
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, keyPath.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyPath.c_str());
    Win32PlatformTest::TearDown();
  }
  std::string KeyPath() const { return WideToUtf8(keyPath); }

  std::wstring keyPath;
};

TEST_F(RegistryTest, KeysAreCreatedBelowTheRightRoot) {
  // Each root gets its own leaf key, so that finding it below the other root is a fault.
  const struct {
    RegKey root;
    HKEY sdkRoot;
    HKEY otherRoot;
    std::string leaf;
  } cases[] = {
      {kHKeyCurrentUser, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, kFolderName + "CU"},
      {kHKeyLocalMachine, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, kFolderName + "LM"},
  };
  for (const auto& c : cases) {
    const std::string subKey = KeyPath() + "\\" + c.leaf;  // two levels: both are created
    const std::wstring wideSubKey = keyPath + L"\\" + DisplayWide(c.leaf);
    RegKey key = 0;
    ASSERT_EQ(platform.RegCreateKey(c.root, subKey, key), 0u);
    ASSERT_NE(key, 0u);
    platform.RegCloseKey(key);
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExW(c.sdkRoot, wideSubKey.c_str(), 0, KEY_READ, &opened), ERROR_SUCCESS);
    if (opened) RegCloseKey(opened);
    opened = nullptr;
    EXPECT_NE(RegOpenKeyExW(c.otherRoot, wideSubKey.c_str(), 0, KEY_READ, &opened),
              ERROR_SUCCESS);
    if (opened) RegCloseKey(opened);

    RegKey again = 0;
    EXPECT_EQ(platform.RegOpenKey(c.root, subKey, again), 0u);
    EXPECT_NE(again, 0u);
    platform.RegCloseKey(again);
    RegKey missing = 1;
    EXPECT_EQ(platform.RegOpenKey(c.root, KeyPath() + "\\missing", missing), kErrorFileNotFound);
    EXPECT_EQ(missing, 0u);
    platform.RegCloseKey(c.root);  // the roots are never closed
  }
}

TEST_F(RegistryTest, StringValueRoundTripStoresLengthPlusOneCharacters) {
  RegKey key = 0;
  ASSERT_EQ(platform.RegCreateKey(kHKeyCurrentUser, KeyPath(), key), 0u);
  const std::string data = "C:\\" + kFolderName;
  EXPECT_EQ(platform.RegSetStringValue(key, "Path", data), 0u);
  EXPECT_EQ(platform.RegSetStringValue(key, kFolderName, "named"), 0u);  // Persian value name
  EXPECT_EQ(platform.RegSetStringValue(key, "Empty", ""), 0u);
  platform.RegCloseKey(key);

  HKEY check = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &check), 0);
  const std::wstring expected = L"C:\\" + kFolderWide;
  wchar_t buffer[64] = {};
  DWORD type = 0;
  DWORD size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExW(check, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                             &size),
            0);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, (expected.size() + 1) * sizeof(wchar_t));
  EXPECT_EQ(std::wstring(buffer), expected);
  size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExW(check, kFolderWide.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(buffer), &size),
            0);
  EXPECT_EQ(std::wstring(buffer), L"named");
  size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExW(check, L"Empty", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                             &size),
            0);
  EXPECT_EQ(size, sizeof(wchar_t));
  RegCloseKey(check);

  ASSERT_EQ(platform.RegOpenKey(kHKeyCurrentUser, KeyPath(), key), 0u);
  uint32_t readType = 0;
  std::string read;
  EXPECT_EQ(platform.RegQueryValue(key, "Path", readType, read), 0u);
  EXPECT_EQ(readType, kRegSz);
  EXPECT_EQ(read, data + '\0');
  platform.RegCloseKey(key);
}

TEST_F(RegistryTest, QueryReturnsEachTypeAsStored) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            0);
  auto set = [&](const wchar_t* name, DWORD type, const void* data, size_t bytes) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data),
                             static_cast<DWORD>(bytes)),
              0);
  };
  const std::wstring withNul = kFolderWide + L'\0';
  // RegSetValueExW adds a NUL the count left out when one follows in memory (as Windows NT
  // does); a character after the counted ones keeps the value without its NUL.
  const std::wstring noNul = kFolderWide + L'X';
  const std::wstring multi(L"a\0\u0627\0\0", 5);
  const DWORD number = 0x01020304;
  const unsigned char binary[] = {0, 0xFF, 0x10};
  set(L"sz", REG_SZ, withNul.data(), withNul.size() * 2);
  set(L"szNoNul", REG_SZ, noNul.data(), kFolderWide.size() * 2);
  set(L"expand", REG_EXPAND_SZ, L"%TEMP%", 7 * 2);
  set(L"multi", REG_MULTI_SZ, multi.data(), multi.size() * 2);
  set(L"dword", REG_DWORD, &number, sizeof number);
  set(L"binary", REG_BINARY, binary, sizeof binary);
  set(L"emptyBinary", REG_BINARY, nullptr, 0);
  RegCloseKey(key);

  const struct {
    std::string name;
    uint32_t error;
    uint32_t type;
    std::string data;
  } cases[] = {
      {"sz", 0, kRegSz, kFolderName + '\0'},
      {"szNoNul", 0, kRegSz, kFolderName},
      {"expand", 0, kRegExpandSz, std::string("%TEMP%\0", 7)},  // not expanded
      {"multi", 0, REG_MULTI_SZ, std::string("a\0ا\0\0", 6)},
      {"dword", 0, kRegDword, std::string("\x04\x03\x02\x01", 4)},
      {"binary", 0, kRegBinary, std::string("\0\xFF\x10", 3)},
      {"emptyBinary", 0, kRegBinary, ""},
      {"missing", kErrorFileNotFound, 0, ""},
  };
  RegKey opened = 0;
  ASSERT_EQ(platform.RegOpenKey(kHKeyCurrentUser, KeyPath(), opened), 0u);
  for (const auto& c : cases) {
    uint32_t type = 99;
    std::string data = "stale";
    EXPECT_EQ(platform.RegQueryValue(opened, c.name, type, data), c.error) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(data, c.data) << c.name;
  }
  platform.RegCloseKey(opened);

  uint32_t type = 0;
  std::string data;
  EXPECT_NE(platform.RegQueryValue(0, "sz", type, data), 0u);  // a key that did not open
}

// ---------------------------------------------------------------- shell links

TEST_F(Win32PlatformTest, ShellLinkWithPersianNamesIsSavedAndReadBack) {
  ASSERT_TRUE(CreateDirectoryW(WidePath(kFolderWide).c_str(), nullptr));
  WriteWholeFile(WidePath(kFolderWide + L"\\" + kFileWide), "target");
  const std::string target = Path(kFolderName + "\\" + kFileName);
  const std::string workingDirectory = Path(kFolderName);

  std::unique_ptr<ShellLink> link = platform.CreateShellLink();
  ASSERT_NE(link, nullptr);
  EXPECT_TRUE(SUCCEEDED(link->SetPath(target)));
  EXPECT_TRUE(SUCCEEDED(link->SetWorkingDirectory(workingDirectory)));
  EXPECT_EQ(link->Save(Path(kLinkName)), S_OK);
  EXPECT_TRUE(FAILED(link->Save(Path("missing\\" + kLinkName))));
  link.reset();

  ASSERT_TRUE(IsFile(WidePath(kLinkWide)));
  IShellLinkW* saved = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                             reinterpret_cast<void**>(&saved)),
            S_OK);
  IPersistFile* file = nullptr;
  ASSERT_EQ(saved->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  EXPECT_EQ(file->Load(WidePath(kLinkWide).c_str(), STGM_READ), S_OK);
  // The target is read from the link's item list, which the shell follows to open it. Wine 8
  // answers GetPath of a loaded link from the 8-bit copy of the path (in the machine's ANSI
  // code page, so "?" for every Persian letter), though the item list holds the right names.
  PIDLIST_ABSOLUTE items = nullptr;
  ASSERT_EQ(saved->GetIDList(&items), S_OK);
  wchar_t buffer[MAX_PATH] = {};
  EXPECT_TRUE(SHGetPathFromIDListW(items, buffer));
  CoTaskMemFree(items);
  EXPECT_EQ(std::wstring(buffer), WidePath(kFolderWide + L"\\" + kFileWide));
  buffer[0] = 0;
  EXPECT_EQ(saved->GetWorkingDirectory(buffer, MAX_PATH), S_OK);
  EXPECT_EQ(std::wstring(buffer), WidePath(kFolderWide));
  file->Release();
  saved->Release();
}

// A thread that never initialised COM cannot create the object; the error names the failure.
TEST_F(Win32PlatformTest, ShellLinkCreationFailureRaisesInstallError) {
  std::string message;
  bool raised = false;
  std::thread([&] {
    try {
      platform.CreateShellLink();
    } catch (const InstallError& error) {
      raised = true;
      message = error.what();
    }
  }).join();
  ASSERT_TRUE(raised);
  const std::string systemText =
      platform.SystemErrorMessage(static_cast<uint32_t>(CO_E_NOTINITIALIZED));
  EXPECT_EQ(message, systemText.empty() ? "OLE error 800401f0" : TrimSystemMessage(systemText));
}

// ---------------------------------------------------------------- shell and libraries

TEST_F(Win32PlatformTest, ShellExecuteStartsInTheGivenDirectory) {
  ASSERT_TRUE(CreateDirectoryW(WidePath(kFolderWide).c_str(), nullptr));
  const intptr_t result = platform.ShellExecute(0, "open", "cmd.exe", "/c echo started> out.txt",
                                                Path(kFolderName), SW_HIDE);
  EXPECT_GT(result, 32);
  // The program runs on its own; wait for the file it writes relative to its directory.
  const std::wstring output = WidePath(kFolderWide + L"\\out.txt");
  for (int i = 0; i < 200 && ReadWholeFile(output).find('\n') == std::string::npos; ++i) {
    Sleep(50);
  }
  EXPECT_EQ(ReadWholeFile(output), "started\r\n");

  EXPECT_EQ(platform.ShellExecute(0, "open", Path("missing.exe"), "", folder, SW_SHOW),
            SE_ERR_FNF);
}

// An access list as read through the API: whether it is protected from inheriting, and
// each entry as "type SID mask flags".
struct AccessList {
  bool found = false;
  bool isProtected = false;
  std::vector<std::string> entries;
};

AccessList ReadAccessList(PSECURITY_DESCRIPTOR descriptor, PACL dacl) {
  AccessList list;
  list.found = true;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  list.isProtected = (control & SE_DACL_PROTECTED) != 0;
  ACL_SIZE_INFORMATION size{};
  if (dacl == nullptr || !GetAclInformation(dacl, &size, sizeof size, AclSizeInformation)) {
    return list;
  }
  for (DWORD i = 0; i < size.AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
    wchar_t* sid = nullptr;
    ConvertSidToStringSidW(&ace->SidStart, &sid);
    char text[160];
    snprintf(text, sizeof text, "%s %ls %#lx %#x",
             ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE ? "allow" : "other",
             sid != nullptr ? sid : L"?", static_cast<unsigned long>(ace->Mask),
             static_cast<unsigned>(ace->Header.AceFlags));
    if (sid != nullptr) LocalFree(sid);
    list.entries.push_back(text);
  }
  return list;
}

AccessList ReadAccessList(const std::string& path) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::wstring wide = DisplayWide(path);
  if (GetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  AccessList list = ReadAccessList(descriptor, dacl);
  LocalFree(descriptor);
  return list;
}

// regression: the installation folder got the default access list, inherited from C:\,
// under which every user may change what is created below it.
TEST_F(Win32PlatformTest, ProtectedFolderBelongsToTheAdministrators) {
  // The list the folder is created with. 0x3: object and container inherit;
  // 0x1f01ff: full control; 0x1200a9: read and execute.
  const PSECURITY_DESCRIPTOR descriptor = NewProtectedFolderSecurity();
  ASSERT_NE(descriptor, nullptr);
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  EXPECT_TRUE(present);
  const AccessList given = ReadAccessList(descriptor, dacl);
  LocalFree(descriptor);
  EXPECT_TRUE(given.isProtected);
  EXPECT_EQ(given.entries, (std::vector<std::string>{"allow S-1-5-32-544 0x1f01ff 0x3",
                                                      "allow S-1-5-18 0x1f01ff 0x3",
                                                      "allow S-1-5-32-545 0x1200a9 0x3"}));

  // The folder read back. Wine 8 keeps no access lists: it stores what it can of one in the
  // Unix permissions and reads a list back from them (the owner, SYSTEM, and "Everyone" for
  // the others' bits). So here the protected folder reads as closed to everyone else, while
  // an ordinary folder beside it reads as open to "Everyone" for reading.
  const std::string admins = Path("admins");
  ASSERT_TRUE(platform.CreateProtectedDir(admins));
  EXPECT_TRUE(platform.DirectoryExists(admins));
  ASSERT_TRUE(platform.CreateDir(Path("plain")));
  const auto everyone = [](const AccessList& list) {
    int count = 0;
    for (const std::string& entry : list.entries) count += entry.find(" S-1-1-0 ") != std::string::npos;
    return count;
  };
  const AccessList created = ReadAccessList(admins);
  const AccessList plain = ReadAccessList(Path("plain"));
  ASSERT_TRUE(created.found);
  ASSERT_TRUE(plain.found);
  EXPECT_EQ(everyone(created), 0) << testing::PrintToString(created.entries);
  EXPECT_EQ(everyone(plain), 1) << testing::PrintToString(plain.entries);
  // A second creation of the same folder fails.
  EXPECT_FALSE(platform.CreateProtectedDir(admins));
}

TEST_F(Win32PlatformTest, LibraryEntryPointsAreFoundAndCalled) {
  EXPECT_EQ(platform.LoadLibrary(Path("missing_library.dll")), 0u);

  const LibraryHandle kernel = platform.LoadLibrary("kernel32.dll");
  ASSERT_NE(kernel, 0u);
  EXPECT_EQ(platform.GetProcAddress(kernel, "NoSuchEntryPoint"), 0u);
  // A stdcall function without arguments returning 32 bits, like DllRegisterServer.
  const ProcAddress entry = platform.GetProcAddress(kernel, "GetCurrentProcessId");
  ASSERT_NE(entry, 0u);
  EXPECT_EQ(static_cast<DWORD>(platform.CallEntryPoint(entry)), GetCurrentProcessId());
  platform.FreeLibrary(kernel);
}

TEST(Win32PlatformDeathTest, EndProcessExitsWithCodeZero) {
  testing::GTEST_FLAG(death_test_style) = "threadsafe";
  Win32Platform platform;
  EXPECT_EXIT(platform.EndProcess(), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace installer
