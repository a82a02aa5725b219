// The in-memory platform behaves like the Windows calls the engine relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Errors.h"
#include "engine/platform/ErrorCodes.h"
#include "engine/platform/memory/MemoryPlatform.h"

namespace installer {
namespace {

using Op = MemoryPlatform::Op;
using Order = MemoryPlatform::EnumerationOrder;
using Strings = std::vector<std::string>;

// A CD-ROM drive with no disc in it.
MemoryPlatform::DriveInfo NotReady() {
  MemoryPlatform::DriveInfo drive;
  drive.type = MemoryPlatform::DriveType::CdRom;
  drive.ready = false;
  return drive;
}

class MemoryPlatformTest : public ::testing::Test {
 protected:
  // Every name one enumeration delivers, closing the search afterwards.
  Strings Enumerate(const std::string& pattern, uint32_t attr = kAttrDirectory) {
    Strings names;
    SearchRec rec;
    for (int result = platform.FindFirst(pattern, attr, rec); result == 0;
         result = platform.FindNext(rec)) {
      names.push_back(rec.Name);
    }
    platform.FindClose(rec);
    return names;
  }

  MemoryPlatform platform;
};

TEST_F(MemoryPlatformTest, FreshMachine) {
  EXPECT_EQ(platform.GetCurrentDir(), "C:\\");
  EXPECT_EQ(platform.GetWindowsDirectory(), "C:\\WINDOWS");
  EXPECT_EQ(platform.GetVersion(), 0x0106u);  // 6.1: major in the low byte
  EXPECT_EQ(platform.List("C:\\WINDOWS"), (Strings{"System32", "Fonts"}));
  EXPECT_EQ(platform.DiskFree(0), int64_t{4} << 30);
  EXPECT_EQ(platform.DiskSize(3), int64_t{16} << 30);
  platform.Drive('C').ready = false;
  for (int missing : {-1, 0, 1, 3, 27}) EXPECT_EQ(platform.DiskFree(missing), -1) << missing;
}

TEST_F(MemoryPlatformTest, EnumerationSkipsSpecialEntriesUnlessAsked) {
  platform.AddFile("C:\\S\\plain.txt", "p");
  platform.AddFile("C:\\S\\hidden.txt", "h", kAttrArchive | kAttrHidden);
  platform.AddFile("C:\\S\\system.sys", "s", kAttrArchive | kAttrSystem);
  platform.AddFile("C:\\S\\label", "", kAttrVolumeId);
  platform.AddFolder("C:\\S\\Secret", kAttrDirectory | kAttrHidden);
  const struct {
    uint32_t attr;
    Strings names;
  } cases[] = {
      {kAttrDirectory, {".", "..", "plain.txt"}},
      {kAttrHidden, {".", "..", "plain.txt", "hidden.txt", "Secret"}},
      {kAttrSystem | kAttrVolumeId, {".", "..", "plain.txt", "system.sys", "label"}},
      {kAttrAnyFile, {".", "..", "plain.txt", "hidden.txt", "system.sys", "label", "Secret"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Enumerate("C:\\S\\*.*", c.attr), c.names) << c.attr;
}

TEST_F(MemoryPlatformTest, EnumerationFollowsTheChosenOrder) {
  for (const char* name : {"b.txt", "C.txt", "a.txt"})
    platform.AddFile(std::string("C:\\O\\") + name, "x");
  const struct {
    Order order;
    Strings names;
  } cases[] = {
      {Order::Creation, {"b.txt", "C.txt", "a.txt"}},
      {Order::ByName, {"a.txt", "b.txt", "C.txt"}},
      {Order::ReverseCreation, {"a.txt", "C.txt", "b.txt"}},
  };
  for (const auto& c : cases) {
    platform.SetEnumerationOrder(c.order);
    EXPECT_EQ(platform.List("C:\\O"), c.names);
    EXPECT_EQ(Enumerate("C:\\O\\*.txt"), c.names);
  }
}

// The scan saves its record, enumerates a subfolder with it, and restores the copy.
TEST_F(MemoryPlatformTest, SavedRecordContinuesItsSearchAfterANestedOne) {
  platform.AddFolder("C:\\T\\Sub");
  platform.AddFile("C:\\T\\Sub\\inner.txt", "i");
  platform.AddFile("C:\\T\\z.txt", "z");
  SearchRec rec;
  Strings outer;
  for (int r = platform.FindFirst("C:\\T\\*.*", kAttrDirectory, rec); r == 0;
       r = platform.FindNext(rec)) {
    outer.push_back(rec.Name);
    if (rec.Name != "Sub") continue;
    const SearchRec saved = rec;
    EXPECT_EQ(platform.FindFirst("C:\\T\\Sub\\inner.txt", kAttrDirectory, rec), 0);
    EXPECT_EQ(platform.FindNext(rec), int{kErrorNoMoreFiles});
    platform.FindClose(rec);
    rec = saved;
  }
  EXPECT_EQ(outer, (Strings{".", "..", "Sub", "z.txt"}));
  EXPECT_EQ(platform.FindNext(rec), int{kErrorNoMoreFiles});
  EXPECT_EQ(platform.OpenSearches(), 1);
  SearchRec copy = rec;
  platform.FindClose(rec);
  platform.FindClose(copy);  // already closed: harmless
  EXPECT_EQ(platform.OpenSearches(), 0);
}

// "." and ".." come first in real folders only; a drive root has neither.
TEST_F(MemoryPlatformTest, FindFirstResultsAndMasks) {
  platform.AddFile("C:\\M\\readme.txt", "r");
  platform.AddFile("C:\\M\\a1.txt", "a");
  platform.AddFile("C:\\M\\a22.txt", "b");
  platform.AddFolder("C:\\M\\Empty");
  platform.AddDrive('D', NotReady());
  platform.AddDrive('E', {});
  const struct {
    const char* pattern;
    int result;
    Strings names;
  } cases[] = {
      {"C:\\*.*", 0, {"WINDOWS", "M"}},
      {"C:\\M\\Empty\\*", 0, {".", ".."}},
      {"C:\\M\\README.TXT", 0, {"readme.txt"}},
      {"c:/m/a?.txt", 0, {"a1.txt"}},
      {"C:\\M\\a*.TXT", 0, {"a1.txt", "a22.txt"}},
      {"E:\\*.*", kErrorFileNotFound, {}},
      {"C:\\M\\*.bin", kErrorFileNotFound, {}},
      {"C:\\M\\", kErrorFileNotFound, {}},
      {"C:\\Missing\\*.*", kErrorPathNotFound, {}},
      {"C:\\M\\readme.txt\\*.*", kErrorPathNotFound, {}},
      {"Q:\\*.*", kErrorPathNotFound, {}},
      {"D:\\*.*", kErrorNotReady, {}},
  };
  for (const auto& c : cases) {
    SearchRec rec;
    EXPECT_EQ(platform.FindFirst(c.pattern, kAttrAnyFile, rec), c.result) << c.pattern;
    platform.FindClose(rec);
    EXPECT_EQ(Enumerate(c.pattern, kAttrAnyFile), c.names) << c.pattern;
  }
  EXPECT_EQ(platform.OpenSearches(), 0);
}

TEST_F(MemoryPlatformTest, SearchSurvivesChangesToItsFolder) {
  platform.AddDrive('E', {});
  for (const char* name : {"a", "b", "c"}) platform.AddFile(std::string("E:\\") + name, "x");
  platform.AddGeneratedFile("E:\\a", int64_t{5} << 30);
  SearchRec rec;
  ASSERT_EQ(platform.FindFirst("E:\\?", 0, rec), 0);
  EXPECT_EQ(rec.Size, int64_t{5} << 30);
  EXPECT_TRUE(platform.DeleteFile("E:\\b"));
  platform.AddFile("E:\\d", "new");
  ASSERT_EQ(platform.FindNext(rec), 0);
  EXPECT_EQ(rec.Name, "c");
  EXPECT_EQ(platform.FindNext(rec), int{kErrorNoMoreFiles});
  platform.FindClose(rec);
}

TEST_F(MemoryPlatformTest, RelativePathsAndCaseInsensitiveNames) {
  platform.AddFile("C:\\CAB\\Docs\\Read Me.txt", "hello");
  ASSERT_EQ(platform.SetCurrentDir("c:\\cab\\"), 0u);
  EXPECT_EQ(platform.GetCurrentDir(), "c:\\cab");
  const struct {
    const char* path;
    const char* expanded;
  } cases[] = {{"x.txt", "c:\\cab\\x.txt"},
               {".", "c:\\cab"},
               {"..\\..", "c:\\"},
               {"\\WINDOWS", "c:\\WINDOWS"},
               {"Docs\\..\\y", "c:\\cab\\y"},
               {"C:\\a\\\\b\\.", "C:\\a\\b"},
               {"C:/Windows/", "C:\\Windows\\"},
               {"D:rel", "D:\\rel"}};
  for (const auto& c : cases) EXPECT_EQ(platform.ExpandFileName(c.path), c.expanded) << c.path;
  EXPECT_TRUE(platform.FileExists("DOCS\\read me.TXT"));
  EXPECT_FALSE(platform.FileExists("docs"));
  EXPECT_TRUE(platform.DirectoryExists("docs"));
  EXPECT_EQ(Enumerate("docs\\*", 0), (Strings{".", "..", "Read Me.txt"}));
  platform.AddDrive('D', NotReady());
  EXPECT_EQ(platform.SetCurrentDir("docs\\Read Me.txt"), kErrorPathNotFound);
  EXPECT_EQ(platform.SetCurrentDir("D:\\"), kErrorNotReady);
  EXPECT_EQ(platform.SetCurrentDir(".."), 0u);
  EXPECT_EQ(platform.GetCurrentDir(), "c:\\");
}

TEST_F(MemoryPlatformTest, OpenFileErrors) {
  platform.AddFile("C:\\D\\locked.txt", "keep", kAttrArchive | kAttrReadOnly);
  platform.AddDrive('E', NotReady());
  const struct {
    const char* path;
    OpenMode mode;
    uint32_t error;
  } cases[] = {
      {"C:\\D\\none.txt", OpenMode::ReadExclusive, kErrorFileNotFound},
      {"C:\\Nope\\a.txt", OpenMode::ReadShared, kErrorPathNotFound},
      {"C:\\D", OpenMode::ReadShared, kErrorAccessDenied},
      {"E:\\a.txt", OpenMode::ReadShared, kErrorNotReady},
      {"C:\\Nope\\a.txt", OpenMode::CreateExclusive, kErrorPathNotFound},
      {"C:\\D", OpenMode::CreateExclusive, kErrorAccessDenied},
      {"C:\\D\\locked.txt", OpenMode::CreateShareRead, kErrorAccessDenied},
      {"E:\\a.txt", OpenMode::CreateExclusive, kErrorNotReady},
  };
  for (const auto& c : cases) {
    const OpenResult result = platform.OpenFile(c.path, c.mode);
    EXPECT_EQ(result.stream, nullptr) << c.path;
    EXPECT_EQ(result.error, c.error) << c.path;
  }
  EXPECT_EQ(platform.FileContent("C:\\D\\locked.txt"), "keep");
  EXPECT_EQ(platform.OpenStreams(), 0);
}

TEST_F(MemoryPlatformTest, SharingRules) {
  platform.AddFile("C:\\s.txt", "shared");
  const struct {
    OpenMode first, second;
    uint32_t error;
  } cases[] = {
      {OpenMode::ReadShared, OpenMode::ReadShared, 0},
      {OpenMode::ReadShared, OpenMode::CreateShareRead, 0},
      {OpenMode::CreateShareRead, OpenMode::ReadShared, 0},
      {OpenMode::ReadShared, OpenMode::ReadExclusive, kErrorSharingViolation},
      {OpenMode::ReadExclusive, OpenMode::ReadShared, kErrorSharingViolation},
      {OpenMode::CreateExclusive, OpenMode::ReadShared, kErrorSharingViolation},
      {OpenMode::ReadShared, OpenMode::CreateExclusive, kErrorSharingViolation},
      {OpenMode::CreateShareRead, OpenMode::ReadExclusive, kErrorSharingViolation},
  };
  for (const auto& c : cases) {
    const OpenResult first = platform.OpenFile("C:\\s.txt", c.first);
    ASSERT_NE(first.stream, nullptr);
    const OpenResult second = platform.OpenFile("c:\\S.TXT", c.second);
    EXPECT_EQ(second.error, c.error) << int(c.first) << "/" << int(c.second);
    EXPECT_EQ(second.stream != nullptr, c.error == 0);
  }
  const OpenResult reader = platform.OpenFile("C:\\s.txt", OpenMode::ReadShared);
  EXPECT_FALSE(platform.DeleteFile("C:\\s.txt"));
  EXPECT_FALSE(platform.RenameFile("C:\\s.txt", "C:\\t.txt"));
}

TEST_F(MemoryPlatformTest, StreamOutlivesItsFileDriveAndPlatform) {
  auto owner = std::make_unique<MemoryPlatform>();
  owner->AddDrive('D', {});
  owner->AddFile("D:\\f.txt", "abcdef");
  OpenResult open = owner->OpenFile("D:\\f.txt", OpenMode::ReadShared);
  ASSERT_NE(open.stream, nullptr);
  char buffer[3];
  EXPECT_EQ(open.stream->Read(buffer, 3), 3);
  owner->RemoveDrive('D');
  EXPECT_EQ(open.stream->Read(buffer, 3), -1);
  EXPECT_EQ(open.stream->Size(), 6);
  owner.reset();
  EXPECT_EQ(open.stream->Read(buffer, 3), -1);
  open.stream.reset();
}

// Re-creating a file gives its bytes back; a full disk gives one short write, then failure.
TEST_F(MemoryPlatformTest, FreeSpaceFollowsWritesTruncationAndDeletion) {
  platform.AddFile("C:\\big.bin", "old content", 0);
  platform.Drive('C').freeBytes = 0;
  {
    OpenResult open = platform.OpenFile("c:\\BIG.BIN", OpenMode::CreateExclusive);
    ASSERT_NE(open.stream, nullptr);
    EXPECT_EQ(platform.DiskFree(0), 11);
    EXPECT_EQ(open.stream->Write("123456", 6), 6);
    EXPECT_EQ(open.stream->Write("789abc", 6), 5);
    EXPECT_EQ(open.stream->Write("d", 1), -1);
    EXPECT_EQ(platform.DiskFree(0), 0);
  }
  EXPECT_EQ(platform.OpenStreams(), 0);
  EXPECT_EQ(platform.FileContent("C:\\big.bin"), "123456789ab");
  EXPECT_EQ(platform.List("C:\\"), (Strings{"WINDOWS", "big.bin"}));
  EXPECT_EQ(platform.Attributes("C:\\big.bin"), kAttrArchive);
  EXPECT_TRUE(platform.DeleteFile("C:\\BIG.BIN"));
  EXPECT_EQ(platform.DiskFree(0), 11);
  platform.AddFile("C:\\added.txt", "12345");
  EXPECT_EQ(platform.DiskFree(0), 11);  // building the machine takes no space
}

TEST_F(MemoryPlatformTest, GeneratedFileReadsItsComputedBytes) {
  platform.AddGeneratedFile("C:\\gen.bin", 20000);
  OpenResult open = platform.OpenFile("C:\\gen.bin", OpenMode::ReadExclusive);
  ASSERT_NE(open.stream, nullptr);
  std::string bytes(30000, '\0');
  ASSERT_EQ(open.stream->Read(bytes.data(), 30000), 20000);
  for (int64_t i : {0, 1, 8191, 8192, 19999}) {
    EXPECT_EQ(static_cast<uint8_t>(bytes[i]), MemoryPlatform::GeneratedByte(i)) << i;
  }
}

// One call of `op`; `i` gives each call fresh names. Returns 0 on success, else the error
// (calls that only report false give 5, the error the tests inject).
int64_t CallOnce(MemoryPlatform& p, Op op, int i) {
  const std::string n = std::to_string(i);
  SearchRec rec;
  RegKey key = 0;
  LibraryHandle library = 0;
  int64_t result = 0;
  switch (op) {
    case Op::FindFirst: result = p.FindFirst("C:\\WINDOWS\\*.*", kAttrDirectory, rec); break;
    case Op::Open: result = p.OpenFile("C:\\lib.dll", OpenMode::ReadShared).error; break;
    case Op::Create: result = p.OpenFile("C:\\new" + n, OpenMode::CreateExclusive).error; break;
    case Op::CreateDir: result = p.CreateDir("C:\\dir" + n) ? 0 : 5; break;
    case Op::Delete:
      p.AddFile("C:\\del" + n, "x");
      result = p.DeleteFile("C:\\del" + n) ? 0 : 5;
      break;
    case Op::Rename:
      p.AddFile("C:\\from" + n, "x");
      result = p.RenameFile("C:\\from" + n, "C:\\to" + n) ? 0 : 5;
      break;
    case Op::RegCreateKey: result = p.RegCreateKey(kHKeyLocalMachine, "Software\\X", key); break;
    case Op::RegOpenKey: result = p.RegOpenKey(kHKeyLocalMachine, "Software", key); break;
    case Op::RegSetValue: result = p.RegSetStringValue(kHKeyCurrentUser, "v", "d"); break;
    case Op::LinkSave:
      result = p.CreateShellLink()->Save("C:\\a.lnk");
      if (result == int32_t(0x80070005u)) result = kErrorAccessDenied;  // HRESULT of error 5
      break;
    case Op::LoadLibrary: result = (library = p.LoadLibrary("C:\\lib.dll")) ? 0 : 5; break;
    case Op::RemoveDir:
      p.AddFolder("C:\\rd" + n);
      result = p.RemoveDir("C:\\rd" + n);
      break;
    case Op::SetAttributes: result = p.ChangeAttributes("C:\\lib.dll", kAttrArchive); break;
    case Op::RegDeleteKey:
      p.SetRegistryValue(kHKeyLocalMachine, "Software\\Del" + n, "v", kRegSz, "x");
      result = p.RegDeleteKey(kHKeyLocalMachine, "Software\\Del" + n);
      break;
    case Op::LinkRead:
      p.AddShellLinkFile("C:\\l" + n + ".lnk", "C:\\x.exe");
      result = p.ShellLinkTarget("C:\\l" + n + ".lnk") == "C:\\x.exe" ? 0 : 5;
      break;
    default: ADD_FAILURE() << "no call for op " << int(op);
  }
  p.FindClose(rec);
  p.RegCloseKey(key);
  p.FreeLibrary(library);
  return result;
}

// What a removal meets: links in a tree, files in use or read-only, folders not empty, keys
// with subkeys, saved shortcuts.
TEST_F(MemoryPlatformTest, RemovalOperationsAndLinks) {
  platform.AddFile("C:\\Outside\\keep.txt", "theirs");
  platform.AddFolderLink("C:\\App\\Link", "C:\\Outside");
  EXPECT_EQ(platform.GetAttributes("C:\\App\\Link"), kAttrDirectory | kAttrReparsePoint);
  // Paths through the link reach its target, as on Windows.
  EXPECT_TRUE(platform.FileExists("C:\\App\\Link\\keep.txt"));
  SearchRec rec;
  ASSERT_EQ(platform.FindFirst("C:\\App\\Link\\*.txt", 0, rec), 0);
  EXPECT_EQ(rec.Name, "keep.txt");
  platform.FindClose(rec);
  EXPECT_EQ(platform.RemoveDir("C:\\App\\Link"), 0u);
  EXPECT_FALSE(platform.Exists("C:\\App\\Link"));
  EXPECT_EQ(platform.FileContent("C:\\Outside\\keep.txt"), "theirs");

  EXPECT_EQ(platform.RemoveDir("C:\\Outside"), kErrorDirNotEmpty);
  EXPECT_EQ(platform.RemoveDir("C:\\Outside\\keep.txt"), kErrorDirectory);
  EXPECT_EQ(platform.RemoveDir("C:\\Nowhere"), kErrorFileNotFound);
  EXPECT_EQ(platform.RemoveDir("C:\\"), kErrorAccessDenied);
  EXPECT_EQ(platform.RemoveFile("C:\\Outside"), kErrorAccessDenied);
  EXPECT_EQ(platform.RemoveFile("C:\\Nowhere\\x"), kErrorPathNotFound);
  {
    OpenResult held = platform.OpenFile("C:\\Outside\\keep.txt", OpenMode::ReadShared);
    EXPECT_EQ(platform.RemoveFile("C:\\Outside\\keep.txt"), kErrorSharingViolation);
  }
  EXPECT_EQ(platform.ChangeAttributes("C:\\Outside\\keep.txt", kAttrReadOnly | kAttrDirectory), 0u);
  EXPECT_EQ(platform.Attributes("C:\\Outside\\keep.txt"), kAttrReadOnly);
  EXPECT_EQ(platform.RemoveFile("C:\\Outside\\keep.txt"), kErrorAccessDenied);
  EXPECT_EQ(platform.ChangeAttributes("C:\\Outside\\keep.txt", 0), 0u);
  EXPECT_EQ(platform.RemoveFile("C:\\Outside\\keep.txt"), 0u);
  EXPECT_EQ(platform.RemoveDir("c:\\outside\\"), 0u);

  platform.SetRegistryValue(kHKeyLocalMachine, "Software\\App\\Sub", "v", kRegSz, "x");
  EXPECT_EQ(platform.RegDeleteKey(kHKeyLocalMachine, "Software\\App"), kErrorAccessDenied);
  EXPECT_EQ(platform.RegDeleteKey(kHKeyLocalMachine, "software\\app\\sub"), 0u);
  EXPECT_FALSE(platform.KeyExists(kHKeyLocalMachine, "Software\\App\\Sub"));
  EXPECT_EQ(platform.RegDeleteKey(kHKeyLocalMachine, "Software\\App\\Sub"), kErrorFileNotFound);

  auto link = platform.CreateShellLink();
  link->SetPath("C:\\App\\App.EXE");
  ASSERT_EQ(link->Save("C:\\App\\App.lnk"), 0);
  EXPECT_EQ(platform.ShellLinkTarget("C:\\APP\\app.lnk"), "C:\\App\\App.EXE");
  platform.AddFile("C:\\App\\plain.lnk", "not a link");
  EXPECT_EQ(platform.ShellLinkTarget("C:\\App\\plain.lnk"), "");
}

class FaultTest : public MemoryPlatformTest {
 protected:
  void SetUp() override {
    platform.AddFile("C:\\lib.dll", "MZ");
    platform.AddLibrary("C:\\lib.dll", {"Entry"});
    platform.SetRegistryValue(kHKeyLocalMachine, "Software", "v", kRegSz, std::string("x\0", 2));
  }
};

TEST_F(FaultTest, NthCallFailsOnceOrFromThenOn) {
  for (bool persistent : {false, true}) {
    for (int index = 0; index < int(Op::kCount); ++index) {
      const Op op = Op(index);
      if (op == Op::Read || op == Op::Write) continue;  // short transfers, tested below
      const int before = platform.Calls(op);
      const int i = persistent ? 10 : 0;
      EXPECT_EQ(CallOnce(platform, op, i), 0) << index;
      platform.FailNth(op, 2, kErrorAccessDenied, persistent);
      EXPECT_EQ(CallOnce(platform, op, i + 1), 0) << index;
      EXPECT_EQ(CallOnce(platform, op, i + 2), 5) << index;
      EXPECT_EQ(CallOnce(platform, op, i + 3), persistent ? 5 : 0) << index;
      EXPECT_EQ(platform.Calls(op) - before, 4) << index;
      platform.ClearFaults();
      EXPECT_EQ(CallOnce(platform, op, i + 4), 0) << index;
    }
  }
}

TEST_F(FaultTest, PathFaultsMatchTheResolvedPathInAnyCase) {
  platform.AddFile("C:\\WINDOWS\\Fonts\\arial.ttf", "font");
  ASSERT_EQ(platform.SetCurrentDir("C:\\Windows"), 0u);
  platform.FailPath(Op::Delete, "fonts\\ARIAL.TTF", kErrorAccessDenied);
  platform.FailPath(Op::Open, "C:\\windows\\fonts\\arial.ttf", kErrorSharingViolation);
  platform.FailPath(Op::RegSetValue, "HKLM\\software", kErrorAccessDenied);
  platform.FailPath(Op::FindFirst, "c:\\windows\\FONTS", kErrorNotReady);
  EXPECT_FALSE(platform.DeleteFile("C:\\Windows\\Fonts\\arial.ttf"));
  EXPECT_EQ(platform.OpenFile("Fonts\\arial.ttf", OpenMode::ReadShared).error,
            kErrorSharingViolation);
  SearchRec rec;
  EXPECT_EQ(platform.FindFirst("Fonts\\*.*", kAttrDirectory, rec), int{kErrorNotReady});
  RegKey key = 0;
  ASSERT_EQ(platform.RegOpenKey(kHKeyLocalMachine, "SOFTWARE", key), 0u);
  EXPECT_EQ(platform.RegSetStringValue(key, "v", "d"), kErrorAccessDenied);
  EXPECT_EQ(platform.RegSetStringValue(kHKeyCurrentUser, "v", "d"), 0u);
  platform.RegCloseKey(key);
  platform.AddFile("C:\\WINDOWS\\Fonts\\other.ttf", "other");
  EXPECT_TRUE(platform.DeleteFile("Fonts\\other.ttf"));
}

TEST_F(MemoryPlatformTest, FailingReadsAndWritesMoveHalf) {
  platform.AddFile("C:\\r.txt", "0123456789");
  OpenResult in = platform.OpenFile("C:\\r.txt", OpenMode::ReadShared);
  OpenResult out = platform.OpenFile("C:\\w.txt", OpenMode::CreateShareRead);
  ASSERT_TRUE(in.stream && out.stream);
  platform.FailNth(Op::Read, 1, kErrorReadFault, true);
  platform.FailNth(Op::Write, 1, kErrorDiskFull);
  char buffer[16];
  EXPECT_EQ(in.stream->Read(buffer, 7), 3);
  EXPECT_EQ(in.stream->Read(buffer, 16), 7);  // half of 16, but only 7 remain
  EXPECT_EQ(std::string(buffer, 7), "3456789");
  EXPECT_EQ(out.stream->Write("abcde", 5), 2);
  EXPECT_EQ(out.stream->Write("fgh", 3), 3);
  EXPECT_EQ(in.stream->Write("x", 1), -1);  // opened for reading only
  EXPECT_EQ(platform.FileContent("C:\\w.txt"), "abfgh");
  EXPECT_EQ(platform.Attributes("C:\\w.txt"), kAttrArchive);
  EXPECT_EQ(platform.Calls(Op::Read), 2);
}

TEST_F(MemoryPlatformTest, RenameFile) {
  platform.AddFile("C:\\A\\one.txt", "1");
  platform.AddFile("C:\\A\\two.txt", "2");
  EXPECT_FALSE(platform.RenameFile("C:\\A\\one.txt", "C:\\A\\TWO.txt"));
  EXPECT_FALSE(platform.RenameFile("C:\\A\\none.txt", "C:\\A\\x.txt"));
  EXPECT_FALSE(platform.RenameFile("C:\\A", "C:\\A\\Inner"));
  EXPECT_TRUE(platform.RenameFile("C:\\A\\one.txt", "C:\\A\\ONE.txt"));
  EXPECT_EQ(platform.List("C:\\A"), (Strings{"ONE.txt", "two.txt"}));
  EXPECT_TRUE(platform.RenameFile("C:\\A", "C:\\WINDOWS\\B"));
  EXPECT_EQ(platform.FileContent("C:\\WINDOWS\\B\\two.txt"), "2");
  EXPECT_FALSE(platform.Exists("C:\\A"));
}

// A rename through the open file, as the Win32 rename by handle behaves: only to a free name
// on the same drive, the stream open and usable afterwards, the file's data kept.
TEST(MemoryPlatformRenameTest, RenameThroughTheOpenFile) {
  enum class Before { Nothing, File, ReadOnlyFile, Folder, SecondOpen, Fault };
  const struct {
    const char* name;
    std::string target;
    Before before;
    uint32_t error;
  } cases[] = {
      {"a free name", "C:\\A\\new.txt", Before::Nothing, 0},
      {"relative to the current folder", "new.txt", Before::Nothing, 0},
      {"into another folder of the drive", "C:\\B\\new.txt", Before::Nothing, 0},
      {"over a file", "C:\\A\\new.txt", Before::File, kErrorAlreadyExists},
      {"over a read-only file", "C:\\A\\new.txt", Before::ReadOnlyFile, kErrorAlreadyExists},
      {"over a folder", "C:\\A\\new.txt", Before::Folder, kErrorAlreadyExists},
      {"to another drive", "D:\\new.txt", Before::Nothing, kErrorNotSameDevice},
      {"into a missing folder", "C:\\none\\new.txt", Before::Nothing, kErrorPathNotFound},
      {"while the file is open twice", "C:\\A\\new.txt", Before::SecondOpen,
       kErrorSharingViolation},
      {"with a fault", "C:\\A\\new.txt", Before::Fault, kErrorAccessDenied},
  };
  for (const auto& c : cases) {
    MemoryPlatform p;
    p.AddDrive('D', {});
    p.AddFolder("C:\\A");
    p.AddFolder("C:\\B");
    p.SetCurrentDir("C:\\A");
    if (c.before == Before::File || c.before == Before::ReadOnlyFile) {
      p.AddFile(c.target, "old", c.before == Before::ReadOnlyFile ? uint32_t{kAttrReadOnly} : uint32_t{0});
    }
    if (c.before == Before::Folder) p.AddFolder(c.target);
    // A file that others may read, so that a second open can be there.
    const bool shared = c.before == Before::SecondOpen;
    OpenResult part =
        p.OpenFile("C:\\A\\part", shared ? OpenMode::CreateShareRead : OpenMode::CreateNew);
    ASSERT_NE(part.stream, nullptr) << c.name;
    ASSERT_EQ(part.stream->Write("new", 3), 3) << c.name;
    const OpenResult reader =
        shared ? p.OpenFile("C:\\A\\part", OpenMode::ReadShared) : OpenResult{};
    if (shared) {
      ASSERT_NE(reader.stream, nullptr) << c.name;
    }
    if (c.before == Before::Fault) p.FailNth(Op::Rename, 1, kErrorAccessDenied);
    EXPECT_EQ(part.stream->RenameTo(c.target), c.error) << c.name;
    EXPECT_EQ(part.stream->Write("+", 1), 1) << c.name;
    part.stream.reset();
    const bool renamed = c.error == 0;
    EXPECT_EQ(p.Exists("C:\\A\\part"), !renamed) << c.name;
    EXPECT_EQ(p.OpenStreams(), shared ? 1 : 0) << c.name;
    if (renamed) {
      EXPECT_EQ(p.FileContent(c.target), "new+") << c.name;
    } else {
      EXPECT_EQ(p.FileContent("C:\\A\\part"), "new+") << c.name;
      if (c.before == Before::File || c.before == Before::ReadOnlyFile) {
        EXPECT_EQ(p.FileContent(c.target), "old") << c.name;
      }
    }
  }
}

TEST_F(MemoryPlatformTest, Registry) {
  platform.RefuseKey(kHKeyLocalMachine, "Software\\Locked");
  RegKey key = 0;
  EXPECT_EQ(platform.RegOpenKey(kHKeyLocalMachine, "Software\\Vendor", key), kErrorFileNotFound);
  ASSERT_EQ(platform.RegCreateKey(kHKeyLocalMachine, "Software\\Vendor\\App", key), 0u);
  EXPECT_TRUE(platform.KeyExists(kHKeyLocalMachine, "SOFTWARE\\vendor"));
  for (const char* name : {"Path", "Alpha", "PATH"}) {
    EXPECT_EQ(platform.RegSetStringValue(key, name, std::string("C:\\") + name), 0u);
  }
  EXPECT_EQ(platform.RegistryValueNames(kHKeyLocalMachine, "Software\\Vendor\\App"),
            (Strings{"Path", "Alpha"}));

  RegKey child = 0, grandchild = 0;
  ASSERT_EQ(platform.RegOpenKey(kHKeyLocalMachine, "software\\VENDOR", child), 0u);
  ASSERT_EQ(platform.RegOpenKey(child, "app", grandchild), 0u);
  uint32_t type = 0;
  std::string data;
  EXPECT_EQ(platform.RegQueryValue(grandchild, "path", type, data), 0u);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(data, std::string("C:\\PATH\0", 8));
  EXPECT_EQ(platform.RegQueryValue(grandchild, "Missing", type, data), kErrorFileNotFound);

  RegKey refused = 1;
  EXPECT_EQ(platform.RegCreateKey(kHKeyLocalMachine, "SOFTWARE\\LOCKED", refused), 5u);
  EXPECT_EQ(platform.RegOpenKey(kHKeyLocalMachine, "Software\\Locked", refused), 5u);
  EXPECT_EQ(refused, 0u);
  EXPECT_EQ(platform.OpenKeys(), 3);
  for (RegKey k : {key, child, grandchild, RegKey{0}, kHKeyLocalMachine, key})
    platform.RegCloseKey(k);
  EXPECT_EQ(platform.OpenKeys(), 0);
  EXPECT_EQ(platform.RegQueryValue(key, "Path", type, data), kErrorInvalidHandle);
}

TEST_F(MemoryPlatformTest, ShellLinkSaves) {
  auto link = platform.CreateShellLink();
  link->SetPath("C:\\App\\run.exe");
  link->SetWorkingDirectory("C:\\App");
  platform.AddFile("C:\\Menu\\App.lnk", "older");
  EXPECT_EQ(link->Save("C:\\Menu\\App.lnk"), 0);
  EXPECT_EQ(platform.FileContent("C:\\Menu\\App.lnk"),
            "[link]\ntarget=C:\\App\\run.exe\nworkdir=C:\\App\n");
  EXPECT_EQ(link->Save("C:\\NoMenu\\App.lnk"), int32_t(0x80070003u));
  EXPECT_FALSE(platform.Exists("C:\\NoMenu"));
  ASSERT_EQ(platform.savedLinks.size(), 1u);
  EXPECT_EQ(platform.savedLinks[0].path, "C:\\Menu\\App.lnk");
}

TEST_F(MemoryPlatformTest, ShellLinkCreationFailures) {
  auto message = [this](uint32_t hresult, bool missingInterface) -> std::string {
    platform.FailShellLink(static_cast<int32_t>(hresult), missingInterface);
    try {
      platform.CreateShellLink();
    } catch (const InstallError& error) {
      return error.what();
    }
    return "no error";
  };
  EXPECT_EQ(message(0x80070005u, false), "Access is denied");
  EXPECT_EQ(message(0x80040005u, false), "OLE error 80040005");  // facility 4: not Win32
  EXPECT_EQ(message(0x80004002u, true), "Interface not supported");
}

TEST_F(MemoryPlatformTest, Libraries) {
  platform.AddFile("C:\\Bin\\fonts.dll", "MZ");
  platform.AddFile("C:\\Bin\\plain.dll", "MZ");
  platform.AddLibrary("C:\\bin\\FONTS.DLL", {"Install"});
  platform.AddLibrary("C:\\Bin\\ghost.dll", {"Install"});
  EXPECT_EQ(platform.LoadLibrary("C:\\Bin\\plain.dll"), 0u);
  EXPECT_EQ(platform.LoadLibrary("C:\\Bin\\ghost.dll"), 0u);
  ASSERT_EQ(platform.SetCurrentDir("C:\\Bin"), 0u);
  const LibraryHandle library = platform.LoadLibrary("fonts.dll");
  ASSERT_NE(library, 0u);
  EXPECT_EQ(platform.GetProcAddress(library, "install"), 0u);
  const ProcAddress entry = platform.GetProcAddress(library, "Install");
  ASSERT_NE(entry, 0u);
  EXPECT_EQ(platform.CallEntryPoint(entry), 0);
  platform.FreeLibrary(library);
  EXPECT_EQ(platform.libraryCalls, (Strings{"load fonts.dll", "call Install", "free fonts.dll"}));
  EXPECT_EQ(platform.Calls(Op::LoadLibrary), 3);
}

TEST_F(MemoryPlatformTest, SystemErrorMessagesKeepTheirLineEnd) {
  EXPECT_EQ(platform.SystemErrorMessage(2), "The system cannot find the file specified.\r\n");
  EXPECT_EQ(platform.SystemErrorMessage(112), "There is not enough space on the disk.\r\n");
  EXPECT_EQ(platform.SystemErrorMessage(99999), "");
}

TEST_F(MemoryPlatformTest, DialogCallbackAndEndProcess) {
  size_t seen = 0;
  platform.onDialog = [&](const MemoryPlatform::Dialog& dialog) {
    EXPECT_EQ(dialog.text, "Done");
    seen = platform.dialogs.size();
  };
  platform.ShowMessageDialog("Done", DialogKind::Information);
  EXPECT_EQ(seen, 1u);
  EXPECT_THROW(platform.EndProcess(), ProcessEnded);
  EXPECT_EQ(platform.endProcessCalls, 1);
}

}  // namespace
}  // namespace installer
