#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/Errors.h"
#include "engine/FileCopy.h"
#include "engine/platform/ErrorCodes.h"
#include "tests/InstallErrorText.h"
#include "tests/engine/EngineTestSupport.h"

namespace installer {
namespace {

using testing::MediumFixture;
using Strings = std::vector<std::string>;
using Op = MemoryPlatform::Op;

std::string Bytes(size_t size, int seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 31 + seed) & 0xFF);
  return s;
}

class FileCopyTest : public ::testing::Test, protected MediumFixture {
 protected:
  /// A small tree: two folders, files below and above the copy chunk size.
  void AddSampleTree() {
    platform.SetEnumerationOrder(MemoryPlatform::EnumerationOrder::ByName);
    AddSource("a.txt", "alpha");
    platform.AddFolder("D:\\CAB\\Docs");
    platform.AddFolder("D:\\CAB\\Docs\\Images");
    AddSource("Docs\\big.bin", Bytes(150'000, 1));
    AddSource("Docs\\Images\\chunk.gif", Bytes(61'440, 2), kAttrReadOnly);
    AddSource("Docs\\readme.txt", Bytes(1'500, 3));
  }

  /// The error message the install raised, or "" when it completed.
  std::string InstallError(const std::string& target = "C:\\Telmorquistane") {
    try {
      Install(target);
    } catch (const installer::InstallError& e) {
      return e.what();
    }
    return "";
  }

  /// Every file below the target either is missing or equals its source; nothing else.
  void ExpectNoDamagedFile(const std::string& target = "C:\\Telmorquistane") {
    const auto sources = platform.Tree("D:\\CAB");
    for (const auto& [path, content] : platform.Tree(target)) {
      if (IsPartialCopyName(path)) continue;  // never a destination name
      const auto source = sources.find(path);
      ASSERT_NE(source, sources.end()) << "unexpected file " << path;
      EXPECT_EQ(content, source->second) << "damaged file " << path;
    }
  }
};

TEST_F(FileCopyTest, CopiesTheTreeByteForByteAndReportsInOrder) {
  AddSampleTree();
  ASSERT_EQ(InstallError(), "");
  EXPECT_EQ(platform.Tree("C:\\Telmorquistane"), platform.Tree("D:\\CAB"));
  EXPECT_EQ(observer.events, (Strings{
                                 "messages",
                                 "starting",
                                 "copy 213",
                                 "file 0 File: CAB\\a.txt",
                                 "messages",
                                 "file 150 File: CAB\\Docs\\big.bin",
                                 "messages",
                                 "file 211 File: CAB\\Docs\\Images\\chunk.gif",
                                 "messages",
                                 "file 213 File: CAB\\Docs\\readme.txt",
                                 "messages",
                             }));
  // Only bytes are carried over: a read-only source becomes an ordinary, writable file.
  EXPECT_EQ(platform.Attributes("C:\\Telmorquistane\\Docs\\Images\\chunk.gif") & kAttrReadOnly,
            0u);
  EXPECT_EQ(platform.OpenStreams(), 0);
  EXPECT_EQ(platform.OpenSearches(), 0);
  EXPECT_EQ(platform.dialogs.size(), 0u);
}

TEST_F(FileCopyTest, CreatesEveryScannedFolderEvenWhenEmpty) {
  platform.AddFolder("D:\\CAB\\Empty\\Deeper");
  ASSERT_EQ(InstallError("C:\\Apps\\Nested\\Telmorquistane"), "");
  EXPECT_TRUE(platform.DirectoryExists("C:\\Apps\\Nested\\Telmorquistane\\Empty\\Deeper"));
  EXPECT_EQ(observer.events, (Strings{"messages", "starting", "copy 0"}));
}

TEST_F(FileCopyTest, ExistingDestinationsAreKeptButStillReported) {
  AddSampleTree();
  platform.AddFile("C:\\Telmorquistane\\a.txt", "older and longer");
  platform.AddFile("C:\\Telmorquistane\\Docs\\readme.txt", "x");
  ASSERT_EQ(InstallError(), "");
  EXPECT_EQ(platform.FileContent("C:\\Telmorquistane\\a.txt"), "older and longer");
  EXPECT_EQ(platform.FileContent("C:\\Telmorquistane\\Docs\\readme.txt"), "x");
  EXPECT_EQ(platform.FileContent("C:\\Telmorquistane\\Docs\\big.bin"), Bytes(150'000, 1));
  EXPECT_EQ(observer.events.back(), "messages");
  EXPECT_EQ(observer.events[observer.events.size() - 2], "file 213 File: CAB\\Docs\\readme.txt");
}

TEST_F(FileCopyTest, SpaceCheckBoundaries) {
  const struct {
    const char* name;
    const char* target;
    int64_t freeBytes;  // on drive C
    bool passes;
  } cases[] = {
      {"free equal to total passes", "C:\\T", 5000, true},
      {"one byte less fails", "C:\\T", 4999, false},
      {"a lower-case drive letter names the same drive", "c:\\T", 5000, true},
      {"a drive without a volume fails", "Q:\\T", 0, false},
      {"a path without a drive letter fails", "\\\\server\\share\\T", 0, false},
      {"an empty path fails", "", 0, false},
  };
  for (const auto& c : cases) {
    MediumFixture medium;
    medium.AddSource("a.bin", std::string(2000, 'a'));
    medium.AddSource("b.bin", std::string(3000, 'b'));
    medium.platform.Drive('C').freeBytes = c.freeBytes;
    bool ended = false;
    try {
      medium.Install(c.target);
    } catch (const ProcessEnded&) {
      ended = true;
    }
    EXPECT_EQ(!ended, c.passes) << c.name;
    if (!c.passes) {
      ASSERT_EQ(medium.platform.dialogs.size(), 1u) << c.name;
      EXPECT_EQ(medium.platform.dialogs[0].text, kNotEnoughSpaceMessage) << c.name;
      EXPECT_EQ(medium.platform.dialogs[0].kind, DialogKind::Information) << c.name;
      EXPECT_EQ(medium.platform.endProcessCalls, 1) << c.name;
      EXPECT_EQ(medium.observer.events, Strings{"messages"}) << c.name;
      EXPECT_FALSE(medium.platform.Exists("C:\\T")) << c.name;
    }
  }
}

TEST_F(FileCopyTest, OneFreeByteCountsAsAFailedQuery) {
  platform.Drive('C').freeBytes = 1;
  EXPECT_THROW(Install(), ProcessEnded);
  EXPECT_EQ(platform.dialogs.size(), 1u);
}

TEST_F(FileCopyTest, TargetFolderThatCannotBeCreatedEndsWithTheWarning) {
  AddSource("a.txt", "a");
  platform.FailPath(Op::CreateDir, "C:\\Locked\\Telmorquistane", kErrorAccessDenied);
  EXPECT_THROW(Install("C:\\Locked\\Telmorquistane"), ProcessEnded);
  ASSERT_EQ(platform.dialogs.size(), 1u);
  EXPECT_EQ(platform.dialogs[0].text, "Sorry, System Can not Create Setup Directory");
  EXPECT_EQ(platform.dialogs[0].kind, DialogKind::Warning);
  // Levels created before the failing one stay.
  EXPECT_TRUE(platform.DirectoryExists("C:\\Locked"));
  EXPECT_EQ(observer.events, (Strings{"messages", "starting"}));
}

// regression: the installation folder got the default access list, inherited from C:\,
// which lets every user change what is below it.
TEST_F(FileCopyTest, CreatedInstallationFolderIsTheAdministrators) {
  const struct {
    const char* name;
    const char* target;
    Strings existing;   // folders there before the run
    Strings protectedFolders;
  } cases[] = {
      {"a new folder", "C:\\Telmorquistane", {}, {"C:\\Telmorquistane"}},
      {"a new folder with a trailing backslash", "C:\\Telmorquistane\\", {},
       {"C:\\Telmorquistane"}},
      {"new parents get the default list", "C:\\Apps\\Rivenholt\\Telmorquistane", {},
       {"C:\\Apps\\Rivenholt\\Telmorquistane"}},
      {"below an existing parent", "C:\\Apps\\Telmorquistane", {"C:\\Apps"},
       {"C:\\Apps\\Telmorquistane"}},
      {"an existing folder is left as it is", "C:\\Telmorquistane", {"C:\\Telmorquistane"}, {}},
      {"the root of a drive", "C:\\", {}, {}},
  };
  for (const auto& c : cases) {
    MediumFixture m;
    m.platform.AddFolder("D:\\CAB\\Docs");
    m.AddSource("Docs\\a.txt", "alpha");
    for (const std::string& folder : c.existing) m.platform.AddFolder(folder);
    m.Install(c.target);
    EXPECT_EQ(m.platform.protectedFolders, c.protectedFolders) << c.name;
    EXPECT_EQ(m.platform.FileContent(std::string(c.target) +
                                     (std::string(c.target).back() == '\\' ? "" : "\\") +
                                     "Docs\\a.txt"),
              "alpha")
        << c.name;
  }
}

TEST_F(FileCopyTest, SubfolderThatCannotBeCreatedFailsAtItsFirstFile) {
  AddSampleTree();
  platform.FailPath(Op::CreateDir, "C:\\Telmorquistane\\Docs", kErrorAccessDenied);
  EXPECT_EQ(InstallError(),
            "Cannot create file \"C:\\Telmorquistane\\Docs\\big.bin\". "
            "The system cannot find the path specified");
  EXPECT_EQ(platform.FileContent("C:\\Telmorquistane\\a.txt"), "alpha");
}

TEST_F(FileCopyTest, EachStreamFailureStopsTheRunWithItsMessage) {
  const struct {
    const char* name;
    Op op;
    uint32_t error;
    const char* message;
  } cases[] = {
      {"source locked", Op::Open, kErrorSharingViolation,
       "Cannot open file \"D:\\CAB\\Docs\\big.bin\". The process cannot access the file because "
       "it is being used by another process"},
      {"destination refused", Op::Create, kErrorAccessDenied,
       "Cannot create file \"C:\\Telmorquistane\\Docs\\big.bin\". Access is denied"},
      {"short read", Op::Read, kErrorReadFault, "Stream read error"},
      {"failed write", Op::Write, kErrorDiskFull, "Stream write error"},
  };
  for (const auto& c : cases) {
    MediumFixture medium;
    medium.platform.SetEnumerationOrder(MemoryPlatform::EnumerationOrder::ByName);
    medium.AddSource("a.txt", "alpha");
    medium.AddSource("Docs\\big.bin", Bytes(150'000, 1));
    medium.platform.AddFolder("D:\\CAB\\Docs");
    medium.AddSource("z.txt", "zulu");
    // The second file's streams fail: each step of its copy in turn.
    medium.observer.beforeFile = [&](int file) {
      if (file == 2) medium.platform.FailNth(c.op, 1, c.error);
    };
    std::string message;
    try {
      medium.Install();
    } catch (const installer::InstallError& e) {
      message = e.what();
    }
    EXPECT_EQ(message, c.message) << c.name;
    EXPECT_EQ(medium.platform.List("C:\\Telmorquistane"), (Strings{"a.txt", "Docs"})) << c.name;
    EXPECT_EQ(medium.platform.List("C:\\Telmorquistane\\Docs"), Strings{}) << c.name;
    EXPECT_EQ(medium.platform.OpenStreams(), 0) << c.name;
  }
}

TEST_F(FileCopyTest, DestinationThatIsAFolderStopsTheRun) {
  AddSampleTree();
  platform.AddFolder("C:\\Telmorquistane\\Docs\\big.bin");
  EXPECT_EQ(InstallError(),
            "Cannot create file \"C:\\Telmorquistane\\Docs\\big.bin\". Access is denied");
  EXPECT_EQ(platform.FileContent("C:\\Telmorquistane\\a.txt"), "alpha");
  EXPECT_FALSE(platform.Exists("C:\\Telmorquistane\\Docs\\readme.txt"));
  EXPECT_EQ(platform.List("C:\\Telmorquistane\\Docs"), (Strings{"big.bin", "Images"}));
}

// regression: a full disk left a partly written file under its destination name, which
// every later run skipped because it existed.
TEST_F(FileCopyTest, FullDiskLeavesNoPartialFileAndARerunHeals) {
  AddSampleTree();
  observer.beforeFile = [&](int file) {
    if (file == 2) platform.Drive('C').freeBytes = 100'000;  // big.bin has 150,000 bytes
  };
  EXPECT_EQ(InstallError(), "Stream write error");
  EXPECT_FALSE(platform.Exists("C:\\Telmorquistane\\Docs\\big.bin"));
  EXPECT_FALSE(platform.Exists(PartialCopyName("C:\\Telmorquistane\\Docs\\big.bin")));
  ExpectNoDamagedFile();

  // Space freed, a new process runs the installer again.
  platform.Drive('C').freeBytes = int64_t{1} << 30;
  InstallSession rerun(platform);
  testing::RecordingObserver rerunObserver;
  InitializeSession(rerun);
  RunInstall(rerun, "C:\\Telmorquistane", rerunObserver);
  EXPECT_EQ(platform.Tree("C:\\Telmorquistane"), platform.Tree("D:\\CAB"));
}

TEST_F(FileCopyTest, StalePartialFileFromAKilledRunIsReplaced) {
  AddSampleTree();
  platform.AddFile(PartialCopyName("C:\\Telmorquistane\\Docs\\big.bin"), "stale half");
  ASSERT_EQ(InstallError(), "");
  EXPECT_EQ(platform.Tree("C:\\Telmorquistane"), platform.Tree("D:\\CAB"));
}

// The temporary copy beside a destination is a file of its own: whatever else the folder
// holds or the destination is called, the copy neither truncates another file, nor runs
// past the 255 characters of one name, nor trips over a copy a killed run left.
TEST_F(FileCopyTest, TemporaryCopyNeverTakesAnotherFilesPlace) {
  const std::string name250 = std::string(246, 'n') + ".dat";
  const std::string name255 = std::string(251, 'm') + ".dat";
  const struct {
    const char* name;
    Strings files;  // the medium's product files, in delivery order
    std::string stale;  // a file already in the target's folder under the temporary name
    uint32_t staleAttr;
    const char* error;  // "" for a complete installation
  } cases[] = {
      // regression: "a.txt.setup-part" was opened, truncated and renamed to a.txt
      {"a product file named like an old temporary copy",
       {"a.txt.setup-part", "a.txt"}, "", 0, ""},
      // regression: 246 + 4 + 11 characters, one name longer than 255
      {"a name of 250 characters", {name250}, "", 0, ""},
      {"a name of 255 characters", {name255}, "", 0, ""},
      {"a stale copy of a killed run", {"big.bin"}, "stale half", kAttrArchive, ""},
      {"a stale copy that cannot be removed", {"big.bin"}, "read-only", kAttrReadOnly,
       "Cannot create file \"C:\\Telmorquistane\\big.bin\". The file exists"},
  };
  for (const auto& c : cases) {
    MediumFixture m;
    for (size_t i = 0; i < c.files.size(); ++i) {
      m.AddSource(c.files[i], Bytes(1000 + i * 70'000, static_cast<int>(i)));
    }
    m.platform.AddFolder("C:\\Telmorquistane");
    if (!c.stale.empty()) {
      m.platform.AddFile(PartialCopyName("C:\\Telmorquistane\\" + c.files[0]), c.stale,
                         c.staleAttr);
    }
    std::string error;
    try {
      m.Install();
    } catch (const installer::InstallError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.error) << c.name;
    if (*c.error != '\0') continue;
    EXPECT_EQ(m.platform.Tree("C:\\Telmorquistane"), m.platform.Tree("D:\\CAB")) << c.name;
  }
}

TEST(PartialCopyNameTest, ShortOwnNameInTheDestinationsFolder) {
  const std::string folder = "C:\\Telmorquistane\\Docs\\";
  const std::string partial = PartialCopyName(folder + std::string(250, 'x'));
  EXPECT_EQ(partial.substr(0, folder.size()), folder);
  EXPECT_EQ(partial.size() - folder.size(), 20u);
  EXPECT_TRUE(IsPartialCopyName(partial));
  // The same destination in any letter case gets the same name; another gets another.
  EXPECT_EQ(PartialCopyName(folder + "Readme.TXT"), PartialCopyName(folder + "README.txt"));
  EXPECT_NE(PartialCopyName(folder + "a.txt"), PartialCopyName(folder + "b.txt"));
  EXPECT_FALSE(IsPartialCopyName(folder + "a.txt.setup-part"));
}

// Every platform operation that can fail, failed at each point of a run in turn: the run
// ends complete or with an error, and never with a wrong file under a destination name.
TEST_F(FileCopyTest, FaultAtAnyPointLeavesNoDamagedFile) {
  const Op ops[] = {Op::FindFirst, Op::Open, Op::Create, Op::Read,
                    Op::Write,     Op::CreateDir, Op::Rename, Op::Delete};
  int runs = 0;
  for (Op op : ops) {
    for (int n = 1;; ++n) {
      MediumFixture medium;
      medium.platform.SetEnumerationOrder(MemoryPlatform::EnumerationOrder::ByName);
      medium.AddSource("a.txt", "alpha");
      medium.platform.AddFolder("D:\\CAB\\Docs");
      medium.AddSource("Docs\\big.bin", Bytes(150'000, 1));
      medium.AddSource("Docs\\small.txt", "small");
      InitializeSession(medium.session);
      medium.platform.FailNth(op, n, kErrorAccessDenied);
      const int before = medium.platform.Calls(op);
      bool completed = false;
      try {
        RunInstall(medium.session, "C:\\Telmorquistane", medium.observer);
        completed = true;
      } catch (const installer::InstallError&) {
      } catch (const ProcessEnded&) {
      }
      ++runs;
      const auto sources = medium.platform.Tree("D:\\CAB");
      for (const auto& [path, content] : medium.platform.Tree("C:\\Telmorquistane")) {
        if (IsPartialCopyName(path)) continue;  // never a destination name
        const auto source = sources.find(path);
        ASSERT_NE(source, sources.end()) << "stray file " << path << " with fault at call " << n;
        EXPECT_EQ(content, source->second) << path << " damaged with fault at call " << n;
      }
      EXPECT_EQ(medium.platform.OpenStreams(), 0);
      // The fault was never reached: the run is complete, and so is every later N.
      if (medium.platform.Calls(op) - before < n) {
        EXPECT_TRUE(completed);
        EXPECT_EQ(medium.platform.Tree("C:\\Telmorquistane"), sources);
        break;
      }
    }
  }
  EXPECT_GT(runs, 20);
}

TEST(ForceDirectoriesTest, CreatesEveryMissingLevel) {
  MemoryPlatform platform;
  EXPECT_TRUE(ForceDirectories(platform, "C:\\a\\b\\c\\"));
  EXPECT_TRUE(platform.DirectoryExists("C:\\a\\b\\c"));
  EXPECT_TRUE(ForceDirectories(platform, "C:\\a\\b"));
  EXPECT_TRUE(ForceDirectories(platform, "C:\\"));
  EXPECT_FALSE(ForceDirectories(platform, "Q:\\x"));
  const std::string error = testing::InstallErrorText([&] { ForceDirectories(platform, ""); });
  EXPECT_EQ(error, "Unable to create directory");
}

}  // namespace
}  // namespace installer
