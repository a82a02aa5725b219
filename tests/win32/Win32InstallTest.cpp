// Installs from a medium built on real folders of the Wine prefix, through the real API.
#include <gtest/gtest.h>

#include "engine/platform/win32/WindowsApi.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/Errors.h"
#include "engine/FileCopy.h"
#include "engine/InstallSession.h"
#include "engine/platform/win32/WideText.h"
#include "engine/platform/win32/Win32Platform.h"
#include "tests/InstallErrorText.h"
#include "tests/win32/Win32TestSupport.h"

namespace installer {
namespace {

using testing::NullObserver;
using testing::ReadBytes;
using testing::RecordingWin32Platform;
using testing::RemoveTree;
using testing::W;

void WriteFile(const std::string& path, const std::string& content) {
  ASSERT_TRUE(testing::WriteBytes(path, content)) << path;
}
std::string ReadFile(const std::string& path) { return ReadBytes(path); }

std::string Bytes(size_t size, int seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + seed) & 0xFF);
  return s;
}

class Win32InstallTest : public ::testing::Test {
 protected:
  RecordingWin32Platform platform;
  InstallSession session{platform};
  NullObserver observer;
  std::string root;    // a fresh folder for this test
  std::string medium;  // root\medium, with CAB below it
  std::string target;  // root\Program Files\Telmorquistane
  std::string startDir;

  void SetUp() override {
    root = testing::FreshTestFolder();
    medium = root + "\\medium";
    target = root + "\\Program Files\\Telmorquistane";
    for (const std::string& dir : {medium, medium + "\\CAB"}) {
      ASSERT_TRUE(CreateDirectoryW(W(dir).c_str(), nullptr)) << dir;
    }
    startDir = platform.GetCurrentDir();
    platform.SetCurrentDir(medium);
  }

  void TearDown() override {
    platform.SetCurrentDir(startDir);
    RemoveTree(W(root));
  }

  void AddFolder(const std::string& relative) {
    ASSERT_TRUE(CreateDirectoryW(W(medium + "\\CAB\\" + relative).c_str(), nullptr));
  }
  void AddFile(const std::string& relative, const std::string& content) {
    WriteFile(medium + "\\CAB\\" + relative, content);
  }

  void Install() {
    InitializeSession(session);
    RunInstall(session, target, observer);
  }
};

TEST_F(Win32InstallTest, ScanOfARealTree) {
  AddFile("a.txt", "0123456789");
  AddFolder("Sub");
  AddFile("Sub\\b.bin", "01234");
  AddFolder("Sub\\Deep");
  AddFile("Sub\\Deep\\c.dat", "0123456");
  AddFile("empty.txt", "");
  AddFile("hidden.txt", "h");
  SetFileAttributesW(W(medium + "\\CAB\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  InitializeSession(session);
  ScanMedia(session);
  EXPECT_EQ(session.MediaRoot, medium);
  // Wine delivers names in its own order; the set and the pre-order are what matter.
  std::vector<std::string> files = session.FileList;
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"Sub\\Deep\\c.dat", "Sub\\b.bin", "a.txt"}));
  EXPECT_EQ(session.DirList, (std::vector<std::string>{"Sub", "Sub\\Deep"}));
  EXPECT_EQ(session.TotalSize, 22);
  EXPECT_EQ(platform.GetCurrentDir(), medium);
}

TEST_F(Win32InstallTest, CopiesNestedTreeByteForByte) {
  const std::string persianFolder = "دانش";  // a Persian word code page 1256 can hold
  const std::string persianFile = "متن.txt";
  AddFolder("Docs");
  AddFolder("Docs\\" + persianFolder);
  AddFile("readme.txt", Bytes(3, 1));
  AddFile("Docs\\large.bin", Bytes(1'000'000, 2));
  AddFile("Docs\\exact.bin", Bytes(61'440, 3));
  AddFile("Docs\\" + persianFolder + "\\" + persianFile, Bytes(70'000, 4));
  AddFile("locked.txt", "read only");
  SetFileAttributesW(W(medium + "\\CAB\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);

  Install();
  for (const std::string& file :
       {std::string("readme.txt"), std::string("Docs\\large.bin"), std::string("Docs\\exact.bin"),
        "Docs\\" + persianFolder + "\\" + persianFile, std::string("locked.txt")}) {
    EXPECT_EQ(ReadFile(target + "\\" + file), ReadFile(medium + "\\CAB\\" + file)) << file;
  }
  // The copy of a read-only source is an ordinary writable file.
  const DWORD attributes = GetFileAttributesW(W(target + "\\locked.txt").c_str());
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(observer.captions.size(), 5u);
  EXPECT_TRUE(platform.dialogs.empty());
}

TEST_F(Win32InstallTest, ExistingDestinationIsSkipped) {
  AddFile("a.txt", "from the medium");
  CreateDirectoryW(W(root + "\\Program Files").c_str(), nullptr);
  CreateDirectoryW(W(target).c_str(), nullptr);
  WriteFile(target + "\\a.txt", "kept");
  Install();
  EXPECT_EQ(ReadFile(target + "\\a.txt"), "kept");
  EXPECT_EQ(observer.captions, std::vector<std::string>{"File: CAB\\a.txt"});
}

TEST_F(Win32InstallTest, DestinationThatIsAFolderStopsTheRun) {
  AddFile("a.txt", "a");
  CreateDirectoryW(W(root + "\\Program Files").c_str(), nullptr);
  CreateDirectoryW(W(target).c_str(), nullptr);
  CreateDirectoryW(W(target + "\\a.txt").c_str(), nullptr);
  const std::string error = testing::InstallErrorText([&] { Install(); });
  EXPECT_EQ(error.rfind("Cannot create file \"" + target + "\\a.txt\". ", 0), 0u) << error;
}

TEST_F(Win32InstallTest, UnopenableSourceNamesItsFullPath) {
  AddFile("a.txt", "a");
  InitializeSession(session);
  ScanMedia(session);
  // Held open without sharing by someone else: the installer's exclusive open fails.
  HANDLE holder = CreateFileW(W(medium + "\\CAB\\a.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  session.InstallDir = target;
  PrepareTargetFolders(session);
  const std::string error = testing::InstallErrorText([&] { CopyProductFiles(session, observer); });
  EXPECT_EQ(error.rfind("Cannot open file \"" + medium + "\\CAB\\a.txt\". ", 0), 0u) << error;
  CloseHandle(holder);
  EXPECT_EQ(ReadFile(target + "\\a.txt"), "<missing>");
}

// ---------------------------------------------------------------- bad media

TEST_F(Win32InstallTest, MissingProductFolderStopsBeforeAnythingIsWritten) {
  RemoveDirectoryW(W(medium + "\\CAB").c_str());
  const std::string error = testing::InstallErrorText([&] { Install(); });
  EXPECT_EQ(error.rfind("Cannot open file \"" + medium + "\\CAB\". ", 0), 0u) << error;
  EXPECT_FALSE(testing::Exists(target));
  EXPECT_TRUE(observer.captions.empty());
}

TEST_F(Win32InstallTest, EmptyProductFolderInstallsAnEmptyFolder) {
  Install();
  EXPECT_TRUE(platform.DirectoryExists(target));
  EXPECT_TRUE(observer.captions.empty());
  EXPECT_TRUE(platform.dialogs.empty());
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(W(target + "\\*").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  int entries = 0;
  do ++entries; while (FindNextFileW(find, &data));
  FindClose(find);
  EXPECT_EQ(entries, 2);  // "." and ".." only
}

// A file that goes away or cannot be read after the scan stops the run with the open error
// naming it; what was copied before it is complete, and nothing is left under its name.
TEST_F(Win32InstallTest, SourceThatVanishesOrIsHeldAfterTheScanStopsTheRun) {
  const struct {
    const char* what;
    bool remove;  // removed after the scan; otherwise held open by another process
  } cases[] = {{"vanished", true}, {"held open elsewhere", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveTree(W(target));
    AddFile("a.bin", Bytes(200'000, 1));
    AddFile("b.bin", Bytes(300'000, 2));
    InstallSession run(platform);
    InitializeSession(run);
    ScanMedia(run);
    ASSERT_EQ(run.FileCount(), 2);
    const std::string victim = run.FileList[1];  // the second file in the medium's order
    const std::string first = run.FileList[0];
    std::unique_ptr<testing::HeldOpenFile> holder;
    if (c.remove) {
      ASSERT_TRUE(DeleteFileW(W(medium + "\\CAB\\" + victim).c_str()));
    } else {
      holder = std::make_unique<testing::HeldOpenFile>(medium + "\\CAB\\" + victim);
      ASSERT_TRUE(holder->held());
    }
    run.InstallDir = target;
    PrepareTargetFolders(run);
    const std::string error = testing::InstallErrorText([&] { CopyProductFiles(run, observer); });
    EXPECT_EQ(error.rfind("Cannot open file \"" + medium + "\\CAB\\" + victim + "\". ", 0), 0u)
        << error;
    holder.reset();
    EXPECT_EQ(ReadFile(target + "\\" + first), ReadFile(medium + "\\CAB\\" + first));
    EXPECT_FALSE(testing::Exists(target + "\\" + victim));
    EXPECT_FALSE(testing::Exists(PartialCopyName(target + "\\" + victim)));
  }
}

// regression: names reached the engine in code page 1256, so a name the code page cannot hold
// (the Persian yeh U+06CC that a Persian keyboard types) arrived as '?' and stopped the run.
// Such names, ZWNJ and Latin letters mixed in, now install byte for byte under their names.
TEST_F(Win32InstallTest, NamesBeyondTheCodePageInstallByteForByte) {
  const struct {
    const char* what;
    std::wstring folder;  // below CAB ("" for none)
    std::wstring file;
  } cases[] = {
      {"Persian yeh", L"", L"\u0631\u0627\u0647\u0646\u0645\u0627\u06CC \u06A9\u0627\u0631\u0628\u0631.txt"},
      {"folder with yeh", L"\u06CC", L"inside.txt"},
      {"ZWNJ and Latin", L"Docs \u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645",
       L"Read\u200Cme \u0641\u0627\u0631\u0633\u06CC.TXT"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveTree(W(medium + "\\CAB"));
    RemoveTree(W(target));
    ASSERT_TRUE(CreateDirectoryW(W(medium + "\\CAB").c_str(), nullptr));
    AddFile("plain.txt", "plain");
    const std::wstring cab = W(medium + "\\CAB\\");
    const std::wstring relative = c.folder.empty() ? c.file : c.folder + L"\\" + c.file;
    if (!c.folder.empty()) {
      ASSERT_TRUE(CreateDirectoryW((cab + c.folder).c_str(), nullptr));
    }
    HANDLE h = CreateFileW((cab + relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(h, "yeh", 3, &written, nullptr);
    CloseHandle(h);

    InstallSession run(platform);  // a fresh session per case: the tables only grow
    InitializeSession(run);
    RunInstall(run, target, observer);
    EXPECT_TRUE(platform.dialogs.empty());
    const std::wstring installed = W(target) + L"\\" + relative;
    EXPECT_EQ(ReadFile(WideToUtf8(installed)), "yeh");
    EXPECT_EQ(ReadFile(target + "\\plain.txt"), "plain");
    // The file label named the file as it is called.
    EXPECT_NE(std::find(observer.captions.begin(), observer.captions.end(),
                        "File: CAB\\" + WideToUtf8(relative)),
              observer.captions.end());
    observer.captions.clear();
  }
}

// Drive T: is a 2 MiB tmpfs that the test fixture maps into the prefix when it can mount.
class SmallDriveTest : public Win32InstallTest {
 protected:
  void SetUp() override {
    if (GetDriveTypeW(L"T:\\") == DRIVE_NO_ROOT_DIR) GTEST_SKIP() << "no small drive T: mapped";
    Win32InstallTest::SetUp();
    target = "T:\\Telmorquistane-" + std::to_string(GetCurrentProcessId());
  }
  void TearDown() override {
    if (!root.empty()) RemoveTree(W(target));
    Win32InstallTest::TearDown();
  }
};

TEST_F(SmallDriveTest, ProductLargerThanTheDriveGetsTheSpaceDialog) {
  AddFile("huge.bin", Bytes(3 << 20, 5));
  EXPECT_THROW(Install(), ProcessEnded);
  EXPECT_EQ(platform.dialogs, std::vector<std::string>{kNotEnoughSpaceMessage});
  EXPECT_EQ(GetFileAttributesW(W(target).c_str()), INVALID_FILE_ATTRIBUTES);
}

// regression: a full disk left a partly written file under its destination name.
TEST_F(SmallDriveTest, DriveThatFillsDuringTheCopyLeavesNoPartialFile) {
  AddFile("first.bin", Bytes(1 << 20, 6));
  AddFile("second.bin", Bytes(1 << 20, 7));
  InitializeSession(session);
  ScanMedia(session);
  session.InstallDir = target;
  PrepareTargetFolders(session);
  // Another writer takes most of the space after the check.
  WriteFile(target + "\\filler", Bytes(1'200'000, 8));
  const std::string error = testing::InstallErrorText([&] { CopyProductFiles(session, observer); });
  EXPECT_EQ(error, "Stream write error");
  for (const std::string name : {"first.bin", "second.bin"}) {
    const std::string content = ReadFile(target + "\\" + name);
    if (content != "<missing>") {
      EXPECT_EQ(content, ReadFile(medium + "\\CAB\\" + name)) << name;
    }
  }
  EXPECT_EQ(ReadFile(PartialCopyName(target + "\\first.bin")), "<missing>");
  EXPECT_EQ(ReadFile(PartialCopyName(target + "\\second.bin")), "<missing>");

  // Space freed: a rerun completes the installation.
  DeleteFileW(W(target + "\\filler").c_str());
  InstallSession rerun(platform);
  InitializeSession(rerun);
  RunInstall(rerun, target, observer);
  EXPECT_EQ(ReadFile(target + "\\first.bin"), ReadFile(medium + "\\CAB\\first.bin"));
  EXPECT_EQ(ReadFile(target + "\\second.bin"), ReadFile(medium + "\\CAB\\second.bin"));
}

}  // namespace
}  // namespace installer
