#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/Errors.h"
#include "engine/InstallSession.h"
#include "tests/InstallErrorText.h"
#include "tests/engine/EngineTestSupport.h"

namespace installer {
namespace {

using testing::MediumFixture;
using Strings = std::vector<std::string>;

class SourceScanTest : public ::testing::Test, protected MediumFixture {
 protected:
  void Scan() {
    InitializeSession(session);
    ScanMedia(session);
  }
};

TEST_F(SourceScanTest, InitializeSessionFixesConstantsAndMediaRoot) {
  InitializeSession(session);
  EXPECT_EQ(session.SourceFolder, "CAB");
  EXPECT_EQ(session.ProductFolder, "Telmorquistane");
  EXPECT_EQ(session.ProductName, "Telmorquistane");
  EXPECT_EQ(session.ShortcutName, "Telmorquistan");
  EXPECT_EQ(session.ProgramGroup, "Rivenholt");
  EXPECT_EQ(session.MediaRoot, "D:\\");
}

TEST_F(SourceScanTest, DefaultInstallPathUsesTheWindowsDrive) {
  InitializeSession(session);
  EXPECT_EQ(DefaultInstallPath(session), "C:\\Telmorquistane");
  platform.AddDrive('E', {});
  platform.SetWindowsDirectory("E:\\WINNT");
  EXPECT_EQ(DefaultInstallPath(session), "E:\\Telmorquistane");
}

TEST_F(SourceScanTest, EmptyProductFolderRecordsNothing) {
  Scan();
  EXPECT_EQ(session.DirCount(), 0);
  EXPECT_EQ(session.FileCount(), 0);
  EXPECT_EQ(session.TotalSize, 0);
}

TEST_F(SourceScanTest, RecordsFoldersInPreOrderAndFilesDepthFirst) {
  platform.SetEnumerationOrder(MemoryPlatform::EnumerationOrder::ByName);
  AddSource("a.txt", std::string(10, 'a'));
  platform.AddFolder("D:\\CAB\\Sub");
  AddSource("Sub\\b.bin", std::string(5, 'b'));
  platform.AddFolder("D:\\CAB\\Sub\\Deep", kAttrDirectory | kAttrReadOnly);
  AddSource("Sub\\Deep\\c.dat", std::string(7, 'c'));
  Scan();
  EXPECT_EQ(session.DirList, (Strings{"Sub", "Sub\\Deep"}));
  EXPECT_EQ(session.FileList, (Strings{"a.txt", "Sub\\b.bin", "Sub\\Deep\\c.dat"}));
  EXPECT_EQ(session.FileSizes, (std::vector<int64_t>{10, 5, 7}));
  EXPECT_EQ(session.TotalSize, 22);
}

TEST_F(SourceScanTest, KeepsTheFileSystemsDeliveryOrder) {
  platform.SetEnumerationOrder(MemoryPlatform::EnumerationOrder::ReverseCreation);
  AddSource("a.txt", "1");
  AddSource("b.txt", "2");
  platform.AddFolder("D:\\CAB\\Z");
  AddSource("Z\\c.txt", "3");
  platform.AddFolder("D:\\CAB\\Y");
  Scan();
  EXPECT_EQ(session.DirList, (Strings{"Y", "Z"}));
  EXPECT_EQ(session.FileList, (Strings{"Z\\c.txt", "b.txt", "a.txt"}));
}

TEST_F(SourceScanTest, LeavesOutEmptyHiddenAndSystemEntries) {
  AddSource("empty.txt", "");
  AddSource("hidden.txt", "h", kAttrArchive | kAttrHidden);
  AddSource("system.txt", "s", kAttrArchive | kAttrSystem);
  platform.AddFolder("D:\\CAB\\Secret", kAttrDirectory | kAttrHidden);
  AddSource("Secret\\inner.txt", "i");
  AddSource("readonly.txt", "r", kAttrReadOnly);
  Scan();
  EXPECT_EQ(session.DirList, Strings{});
  EXPECT_EQ(session.FileList, Strings{"readonly.txt"});
  EXPECT_EQ(session.TotalSize, 1);
}

// regression: a folder was recognised only by an attribute word of exactly 16 or 17, so a
// folder with the archive or any other extra bit was skipped with all it held.
TEST_F(SourceScanTest, FolderWithExtraAttributeBitsIsScanned) {
  const uint32_t attributes[] = {16, 17, 48, 49, 16 | 0x80, 16 | 0x800, 16 | 0x2000};
  for (uint32_t attr : attributes) {
    MediumFixture medium;
    medium.platform.AddFolder("D:\\CAB\\Docs", attr);
    medium.AddSource("Docs\\a.txt", "abc");
    InitializeSession(medium.session);
    ScanMedia(medium.session);
    EXPECT_EQ(medium.session.DirList, Strings{"Docs"}) << "attribute " << attr;
    EXPECT_EQ(medium.session.FileList, Strings{"Docs\\a.txt"}) << "attribute " << attr;
  }
}

// regression: the folder and file tables held at most 1000 and 10000 entries.
TEST_F(SourceScanTest, TablesHaveNoFixedCapacity) {
  for (int d = 0; d < 1100; ++d) {
    const std::string folder = "F" + std::to_string(d);
    platform.AddFolder("D:\\CAB\\" + folder);
    for (int f = 0; f < 10; ++f) AddSource(folder + "\\" + std::to_string(f), "x");
  }
  Scan();
  EXPECT_EQ(session.DirCount(), 1100);
  EXPECT_EQ(session.FileCount(), 11000);
  EXPECT_EQ(session.TotalSize, 11000);
  EXPECT_EQ(session.FileList.back(), "F1099\\9");
}

// regression: sizes were kept as 32 bits, so a file of 4 GiB read as empty and was left out,
// and 2 GiB or more counted negative in the space check.
TEST_F(SourceScanTest, SizesOfTwoGibibytesAndMoreCountInFull) {
  const int64_t gib = int64_t{1} << 30;
  platform.AddGeneratedFile("D:\\CAB\\four.bin", 4 * gib);
  platform.AddGeneratedFile("D:\\CAB\\two.bin", 2 * gib + 1);
  Scan();
  EXPECT_EQ(session.FileList, (Strings{"four.bin", "two.bin"}));
  EXPECT_EQ(session.FileSizes, (std::vector<int64_t>{4 * gib, 2 * gib + 1}));
  EXPECT_EQ(session.TotalSize, 6 * gib + 1);
}

// Runs `work` on a thread whose stack holds `stackBytes`; a deeper use of the stack crashes.
void RunOnSmallStack(size_t stackBytes, const std::function<void()>& work) {
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, stackBytes), 0);
  pthread_t thread;
  auto* task = new std::function<void()>(work);
  ASSERT_EQ(pthread_create(&thread, &attributes, [](void* arg) -> void* {
              auto* run = static_cast<std::function<void()>*>(arg);
              (*run)();
              delete run;
              return nullptr;
            }, task), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

// regression: the scan called itself once per folder level, and a medium with some
// thousands of nested folders overflowed the stack (a crash). 3000 levels on a 256 KiB
// stack need well under 100 bytes per level.
TEST_F(SourceScanTest, ThousandsOfNestedFoldersOnASmallStack) {
  constexpr int kDepth = 3000;
  std::string relative;
  Strings dirs;
  Strings files;
  for (int level = 1; level <= kDepth; ++level) {
    relative += (level == 1 ? "" : "\\") + std::string("d");
    dirs.push_back(relative);
    if (level % 1000 == 0) files.push_back(relative + "\\f" + std::to_string(level));
  }
  platform.AddFolder("D:\\CAB\\" + relative);
  for (const std::string& file : files) AddSource(file, "x");
  AddSource("top.txt", "top");
  // Each level delivers its subfolder (created first) before its file, and the walk goes
  // down the subfolder first: the deepest file comes first, top.txt last.
  std::reverse(files.begin(), files.end());
  files.push_back("top.txt");
  InitializeSession(session);
  std::string outcome = "did not run";
  RunOnSmallStack(256 << 10, [&] {
    try {
      ScanMedia(session);
      outcome = "scanned";
    } catch (const std::exception& e) {
      outcome = e.what();
    }
  });
  EXPECT_EQ(outcome, "scanned");
  EXPECT_EQ(session.DirList, dirs);
  EXPECT_EQ(session.FileList, files);
  EXPECT_EQ(platform.OpenSearches(), 0);
}

// Junctions and links to folders (reparse points) are not entered: they may point outside
// the medium or back into the tree, and two that point at each other never end.
TEST_F(SourceScanTest, ReparsePointFoldersAreNotEntered) {
  const uint32_t attributes[] = {kAttrDirectory | kAttrReparsePoint,
                                 kAttrDirectory | kAttrReadOnly | kAttrReparsePoint,
                                 kAttrDirectory | kAttrArchive | kAttrReparsePoint};
  for (uint32_t attr : attributes) {
    MediumFixture medium;
    medium.platform.SetEnumerationOrder(MemoryPlatform::EnumerationOrder::ByName);
    medium.platform.AddFolder("D:\\CAB\\Docs");
    medium.AddSource("Docs\\a.txt", "abc");
    medium.platform.AddFolder("D:\\CAB\\Loop\\Inner");
    medium.AddSource("Loop\\b.txt", "b");
    medium.platform.SetAttributes("D:\\CAB\\Loop", attr);
    InitializeSession(medium.session);
    ScanMedia(medium.session);
    EXPECT_EQ(medium.session.DirList, Strings{"Docs"}) << "attribute " << attr;
    EXPECT_EQ(medium.session.FileList, Strings{"Docs\\a.txt"}) << "attribute " << attr;
    EXPECT_EQ(medium.platform.OpenSearches(), 0);
  }
}

TEST_F(SourceScanTest, ScansFromMediaRootAndReturnsThere) {
  AddSource("a.txt", "a");
  InitializeSession(session);
  platform.AddFolder("C:\\Elsewhere\\CAB");
  platform.AddFile("C:\\Elsewhere\\CAB\\wrong.txt", "w");
  platform.SetCurrentDir("C:\\Elsewhere");  // as the folder chooser leaves it
  ScanMedia(session);
  EXPECT_EQ(session.FileList, Strings{"a.txt"});
  EXPECT_EQ(platform.GetCurrentDir(), "D:\\");
  EXPECT_EQ(platform.OpenSearches(), 0);
}

TEST_F(SourceScanTest, MissingProductFolderIsAnOpenErrorNotAScanOfTheRoot) {
  MemoryPlatform bare;
  bare.AddFolder("C:\\Medium\\System");
  bare.AddFile("C:\\Medium\\SETUP.EXE", "MZ");
  bare.SetCurrentDir("C:\\Medium");
  InstallSession s(bare);
  InitializeSession(s);
  const std::string error = testing::InstallErrorText([&] { ScanMedia(s); });
  EXPECT_EQ(error,
            "Cannot open file \"C:\\Medium\\CAB\". The system cannot find the path specified");
  EXPECT_EQ(s.FileCount(), 0);
  EXPECT_EQ(s.DirCount(), 0);
}

TEST_F(SourceScanTest, UnreadableFolderStopsTheRunInsteadOfInstallingLess) {
  platform.SetEnumerationOrder(MemoryPlatform::EnumerationOrder::ByName);
  AddSource("a.txt", "a");
  platform.AddFolder("D:\\CAB\\Docs");
  AddSource("Docs\\b.txt", "b");
  platform.FailNth(MemoryPlatform::Op::FindFirst, 2, 5);
  InitializeSession(session);
  const std::string error = testing::InstallErrorText([&] { ScanMedia(session); });
  EXPECT_EQ(error, "Cannot open file \"D:\\CAB\\Docs\". Access is denied");
  EXPECT_EQ(platform.OpenSearches(), 0);
}

}  // namespace
}  // namespace installer
