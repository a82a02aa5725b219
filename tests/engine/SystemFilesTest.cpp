#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/Errors.h"
#include "engine/InstallSteps.h"
#include "engine/platform/ErrorCodes.h"
#include "tests/InstallErrorText.h"
#include "tests/engine/AllocationPeak.h"
#include "tests/engine/EngineTestSupport.h"

namespace installer {
namespace {

using Strings = std::vector<std::string>;
using Op = MemoryPlatform::Op;

class SystemFilesTest : public ::testing::Test, protected testing::MediumFixture {
 protected:
  void SetUp() override {
    platform.SetEnumerationOrder(MemoryPlatform::EnumerationOrder::ByName);
    platform.AddFolder("D:\\System");
    InitializeSession(session);
  }
  void AddSystemFile(const std::string& name, const std::string& content,
                     uint32_t attr = kAttrArchive) {
    platform.AddFile("D:\\System\\" + name, content, attr);
  }
  void AddLibrary(const std::string& name, std::vector<std::string> exports) {
    AddSystemFile(name, "MZ library " + name);
    platform.AddLibrary("C:\\WINDOWS\\System32\\" + name, std::move(exports));
  }
  Strings Calls() const { return platform.libraryCalls; }
};

TEST_F(SystemFilesTest, SystemFolderByMajorVersion) {
  const struct {
    uint32_t version;
    const char* folder;
  } cases[] = {{0x0004, "C:\\WINDOWS\\System\\"},
               {0x0A04, "C:\\WINDOWS\\System\\"},
               {0x0005, "C:\\WINDOWS\\System32\\"},
               {0x0106, "C:\\WINDOWS\\System32\\"},
               {0x000A, "C:\\WINDOWS\\System32\\"}};
  for (const auto& c : cases) {
    platform.SetVersion(c.version);
    InstallSystemFiles(session);
    EXPECT_EQ(session.SystemDir, c.folder) << std::hex << c.version;
  }
}

TEST_F(SystemFilesTest, CopiesNonEmptyFilesOfEveryKindThenRegistersTheListed) {
  AddLibrary("a.dll", {"DllRegisterServer"});
  AddLibrary("b.ocx", {"DllRegisterServer", "DllUnregisterServer"});
  AddSystemFile("hidden.dll", "h", kAttrHidden | kAttrSystem);
  AddSystemFile("empty.dll", "");
  platform.AddFolder("D:\\System\\Sub");
  AddSystemFile("Sub\\inner.dll", "i");
  AddSystemFile("SYSTEM.TXT", "b.ocx\r\na.dll\r\nmissing.dll\r\n");
  InstallSystemFiles(session);

  EXPECT_EQ(platform.FileContent("C:\\WINDOWS\\System32\\a.dll"), "MZ library a.dll");
  EXPECT_EQ(platform.FileContent("C:\\WINDOWS\\System32\\hidden.dll"), "h");
  EXPECT_EQ(platform.FileContent("C:\\WINDOWS\\System32\\SYSTEM.TXT"),
            "b.ocx\r\na.dll\r\nmissing.dll\r\n");
  EXPECT_FALSE(platform.Exists("C:\\WINDOWS\\System32\\empty.dll"));
  EXPECT_FALSE(platform.Exists("C:\\WINDOWS\\System32\\Sub"));
  // In list order, each loaded, called and released.
  EXPECT_EQ(Calls(), (Strings{"load C:\\WINDOWS\\System32\\b.ocx", "call DllRegisterServer",
                              "free C:\\WINDOWS\\System32\\b.ocx",
                              "load C:\\WINDOWS\\System32\\a.dll", "call DllRegisterServer",
                              "free C:\\WINDOWS\\System32\\a.dll"}));
}

TEST_F(SystemFilesTest, FileThatCannotBeReplacedIsKeptAndStillRegistered) {
  AddLibrary("inuse.dll", {"DllRegisterServer"});
  AddLibrary("ro.dll", {"DllRegisterServer"});
  AddSystemFile("SYSTEM.TXT", "inuse.dll\nro.dll");
  platform.AddFile("C:\\WINDOWS\\System32\\inuse.dll", "old in use");
  platform.FailPath(Op::Delete, "C:\\WINDOWS\\System32\\inuse.dll", kErrorSharingViolation);
  platform.AddFile("C:\\WINDOWS\\System32\\ro.dll", "old read-only", kAttrReadOnly);
  platform.FailPath(Op::Delete, "C:\\WINDOWS\\System32\\ro.dll", kErrorAccessDenied);
  InstallSystemFiles(session);
  EXPECT_EQ(platform.FileContent("C:\\WINDOWS\\System32\\inuse.dll"), "old in use");
  EXPECT_EQ(platform.FileContent("C:\\WINDOWS\\System32\\ro.dll"), "old read-only");
  EXPECT_EQ(Calls().size(), 6u);
}

TEST_F(SystemFilesTest, ReplacesAnExistingFileThatCanBeDeleted) {
  AddSystemFile("a.dll", "new");
  platform.AddFile("C:\\WINDOWS\\System32\\a.dll", "old");
  InstallSystemFiles(session);
  EXPECT_EQ(platform.FileContent("C:\\WINDOWS\\System32\\a.dll"), "new");
}

TEST_F(SystemFilesTest, ListedFileAlreadyInTheSystemFolderIsRegistered) {
  platform.AddFile("C:\\WINDOWS\\System32\\present.dll", "MZ");
  platform.AddLibrary("C:\\WINDOWS\\System32\\present.dll", {"DllRegisterServer"});
  AddSystemFile("SYSTEM.TXT", "present.dll");
  InstallSystemFiles(session);
  EXPECT_EQ(Calls(), (Strings{"load C:\\WINDOWS\\System32\\present.dll", "call DllRegisterServer",
                              "free C:\\WINDOWS\\System32\\present.dll"}));
}

TEST_F(SystemFilesTest, ListQuirksAndLibrariesWithoutTheEntryPoint) {
  AddLibrary("plain.dll", {"SomethingElse"});
  AddLibrary("last.dll", {"DllRegisterServer"});
  platform.AddFile("C:\\WINDOWS\\System32\\notlib.dll", "MZ");
  platform.AddLibrary("C:\\WINDOWS\\System32\\notlib.dll", {"DllRegisterServer"});
  // An empty line names the folder itself; a lone CR is dropped; Ctrl-Z ends the list;
  // the last line has no line end.
  AddSystemFile("system.txt",
                std::string("\r\nplain.dll\nnot\rlib.dll\nlast.dll\x1A" "after.dll\n"));
  InstallSystemFiles(session);
  EXPECT_EQ(Calls(), (Strings{"load C:\\WINDOWS\\System32\\plain.dll",
                              "free C:\\WINDOWS\\System32\\plain.dll",
                              "load C:\\WINDOWS\\System32\\notlib.dll", "call DllRegisterServer",
                              "free C:\\WINDOWS\\System32\\notlib.dll",
                              "load C:\\WINDOWS\\System32\\last.dll", "call DllRegisterServer",
                              "free C:\\WINDOWS\\System32\\last.dll"}));
}

// Lines name files exactly as they stand; odd bytes make names that are simply not found.
TEST(SystemListTest, LinesAreUsedAsTheyStand) {
  const std::string a = "load C:\\WINDOWS\\System32\\";
  const struct {
    const char* name;
    std::string list;
    Strings loads;
  } cases[] = {
      {"other letter case finds the file", "A.DLL", {a + "A.DLL"}},
      {"blanks and tabs are part of the name", " a.dll\na.dll \n\ta.dll\n", {}},
      // regression: such lines registered files outside the system folder.
      {"a path through the parent folder", "..\\System32\\b.dll\n..\\..\\x.dll\n", {}},
      {"an absolute path", "C:\\x.dll\n\\x.dll\n", {}},
      {"a forward slash", "../../x.dll\nsub/a.dll\n", {}},
      {"a stream", "a.dll:stream\n", {}},
      {"a NUL does not cut the name short", std::string("a.dll\0.txt\na.dll\0\n", 18), {}},
      {"the folder and its parent", ".\n..\n", {}},
      {"bare names around paths", "a.dll\n..\\..\\x.dll\nb.dll\n", {a + "a.dll", a + "b.dll"}},
      {"CR-only line ends join the names", "a.dll\rb.dll\r", {}},
      {"CR LF, LF and no final line end", "b.dll\r\na.dll\nb.dll",
       {a + "b.dll", a + "a.dll", a + "b.dll"}},
      {"binary bytes name no file", std::string("\xFF\xFE\0\x80\na.dll\x01\n", 12), {}},
      {"Ctrl-Z in a name cuts it and ends the list", "b.dll\na.d\x1All\nb.dll\n",
       {a + "b.dll"}},
      {"Ctrl-Z before the first name", "\x1A" "a.dll\n", {}},
      {"empty lines name the folder itself", "\n\r\n\n", {}},
      {"empty list", "", {}},
      // Persian names: a list in code page 1256, and lists saved as UTF-8 (Notepad's way)
      // that can name what the code page cannot (Persian yeh, ZWNJ).
      {"code page 1256 names", "\xE3\xCA.dll\r\n", {a + "مت.dll"}},
      {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" "یار.dll\r\nb.dll\r\n",
       {a + "یار.dll", a + "b.dll"}},
      {"UTF-8 without one", "می\u200Cیار.dll\nمت.dll\n", {a + "می\u200Cیار.dll", a + "مت.dll"}},
      {"a Persian yeh in code page 1256 is no letter", "\xED\xC7\xD1.dll\n", {}},
  };
  for (const auto& c : cases) {
    testing::MediumFixture medium;
    for (const char* library : {"a.dll", "b.dll", "مت.dll", "یار.dll", "می\u200Cیار.dll"}) {
      medium.platform.AddFile(std::string("D:\\System\\") + library, "MZ");
      medium.platform.AddLibrary(std::string("C:\\WINDOWS\\System32\\") + library,
                                 {"DllRegisterServer"});
    }
    // Libraries outside the system folder that a path in the list could reach.
    medium.platform.AddFile("C:\\x.dll", "MZ");
    medium.platform.AddLibrary("C:\\x.dll", {"DllRegisterServer"});
    medium.platform.AddFolder("C:\\WINDOWS\\System32\\sub");
    medium.platform.AddFile("D:\\System\\SYSTEM.TXT", c.list);
    InitializeSession(medium.session);
    InstallSystemFiles(medium.session);
    Strings loads;
    for (const std::string& call : medium.platform.libraryCalls) {
      if (call.rfind("load ", 0) == 0) loads.push_back(call);
    }
    EXPECT_EQ(loads, c.loads) << c.name;
    // A non-empty list is copied byte for byte like any other file of the folder.
    EXPECT_EQ(medium.platform.FileContent("C:\\WINDOWS\\System32\\SYSTEM.TXT"),
              c.list.empty() ? std::nullopt : std::optional<std::string>(c.list))
        << c.name;
  }
}

// A 10 MB line ends the list with an error once it passes 32,767 characters: the names
// before it are registered, those after it are not, and the step holds little memory.
TEST_F(SystemFilesTest, TenMegabyteLineEndsTheListWithAnError) {
  AddLibrary("a.dll", {"DllRegisterServer"});
  AddLibrary("b.dll", {"DllRegisterServer"});
  const std::string list = "a.dll\r\n" + std::string(10'000'000, 'n') + "\r\nb.dll\r\n";
  AddSystemFile("SYSTEM.TXT", list);
#if INSTALLER_HAVE_ALLOCATION_PEAK
  testing::AllocationPeak peak;
#endif
  EXPECT_EQ(testing::InstallErrorText([&] { InstallSystemFiles(session); }),
            "Line longer than 32767 characters in \"SYSTEM\\SYSTEM.TXT\"");
#if INSTALLER_HAVE_ALLOCATION_PEAK
  // The copy of the list into the system folder grows by doubling; the reading adds little.
  EXPECT_LE(peak.Stop(), static_cast<int64_t>(3 * list.size()));
#endif
  EXPECT_EQ(Calls(), (Strings{"load C:\\WINDOWS\\System32\\a.dll", "call DllRegisterServer",
                              "free C:\\WINDOWS\\System32\\a.dll"}));
  EXPECT_EQ(platform.FileSize("C:\\WINDOWS\\System32\\SYSTEM.TXT"),
            static_cast<int64_t>(list.size()));
  EXPECT_EQ(platform.OpenStreams(), 0);
}

TEST_F(SystemFilesTest, NoSystemFolderDoesNothing) {
  MediumFixture medium;
  medium.platform.AddLibrary("C:\\WINDOWS\\System32\\x.dll", {"DllRegisterServer"});
  InitializeSession(medium.session);
  InstallSystemFiles(medium.session);
  EXPECT_EQ(medium.session.SystemDir, "C:\\WINDOWS\\System32\\");
  EXPECT_TRUE(medium.platform.libraryCalls.empty());
  EXPECT_EQ(medium.platform.List("C:\\WINDOWS\\System32"), Strings{});
}

TEST_F(SystemFilesTest, CopyFailureStopsBeforeAnyRegistration) {
  AddLibrary("a.dll", {"DllRegisterServer"});
  AddLibrary("b.dll", {"DllRegisterServer"});
  AddSystemFile("SYSTEM.TXT", "a.dll\nb.dll\n");
  platform.FailPath(Op::Open, "D:\\System\\b.dll", kErrorReadFault);
  EXPECT_THROW(InstallSystemFiles(session), InstallError);
  EXPECT_TRUE(platform.libraryCalls.empty());
  EXPECT_EQ(platform.OpenSearches(), 0);
}

TEST(RegisterComponentTest, Outcomes) {
  MemoryPlatform platform;
  platform.AddFile("C:\\lib.dll", "MZ");
  platform.AddLibrary("C:\\lib.dll", {"DllRegisterServer", "DllUnregisterServer"});
  platform.AddFile("C:\\half.dll", "MZ");
  platform.AddLibrary("C:\\half.dll", {"DllRegisterServer"});
  platform.AddFile("C:\\text.dll", "no library");
  EXPECT_TRUE(RegisterComponent(platform, "C:\\lib.dll", true));
  EXPECT_TRUE(RegisterComponent(platform, "C:\\lib.dll", false));
  EXPECT_FALSE(RegisterComponent(platform, "C:\\half.dll", false));
  EXPECT_FALSE(RegisterComponent(platform, "C:\\text.dll", true));
  EXPECT_FALSE(RegisterComponent(platform, "C:\\missing.dll", true));
  EXPECT_EQ(platform.libraryCalls,
            (Strings{"load C:\\lib.dll", "call DllRegisterServer", "free C:\\lib.dll",
                     "load C:\\lib.dll", "call DllUnregisterServer", "free C:\\lib.dll",
                     "load C:\\half.dll", "free C:\\half.dll"}));
}

}  // namespace
}  // namespace installer
