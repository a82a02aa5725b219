#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/Errors.h"
#include "engine/InstallSteps.h"
#include "engine/platform/ErrorCodes.h"
#include "tests/InstallErrorText.h"
#include "tests/engine/EngineTestSupport.h"

namespace installer {
namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;
using Op = MemoryPlatform::Op;

const char kDir[] = "C:\\Telmorquistane";
const std::string kConfig =
    "morrowfenlate\r\n\r\nTelmorquistane\r\nTelmorquistane\r\nTelmorquistan\r\n"
    "Caldertiphon Publisher\r\n";

class FinishInstallTest : public ::testing::Test, protected testing::MediumFixture {
 protected:
  void SetUp() override {
    InitializeSession(session);
    session.InstallDir = kDir;
    platform.AddFolder(kDir);
  }
  void Add(const std::string& name, const std::string& content) {
    platform.AddFile(std::string(kDir) + "\\" + name, content);
  }
  std::vector<std::pair<std::string, std::string>> Folder() const {
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string& name : platform.List(kDir)) {
      files.emplace_back(name, *platform.FileContent(std::string(kDir) + "\\" + name));
    }
    return files;
  }
};

TEST_F(FinishInstallTest, RenameCases) {
  using Files = std::vector<std::pair<std::string, std::string>>;
  const struct {
    const char* name;
    Files before;
    Files after;
  } cases[] = {
      {"both staged",
       {{"Telmorquistane.DAT", "main"}, {"uninstall.DAT", "uninst"}},
       {{"Telmorquistane.EXE", "main"}, {"Uninstall.EXE", "uninst"}, {"INSTALL.CFG", kConfig}}},
      {"main program only", {{"telmorquistane.dat", "main"}}, {{"Telmorquistane.EXE", "main"}}},
      {"uninstaller only",
       {{"UNINSTALL.DAT", "uninst"}},
       {{"Uninstall.EXE", "uninst"}, {"INSTALL.CFG", kConfig}}},
      {"existing programs and configuration are replaced",
       {{"Telmorquistane.EXE", "old main"}, {"Uninstall.exe", "old uninst"},
        {"INSTALL.CFG", "a much longer old configuration file than the new one"},
        {"Telmorquistane.DAT", "main"}, {"uninstall.DAT", "uninst"}},
       {{"INSTALL.CFG", kConfig}, {"Telmorquistane.EXE", "main"}, {"Uninstall.EXE", "uninst"}}},
      {"nothing staged", {{"readme.txt", "r"}}, {{"readme.txt", "r"}}},
  };
  for (const auto& c : cases) {
    testing::MediumFixture medium;
    InitializeSession(medium.session);
    medium.session.InstallDir = kDir;
    medium.platform.AddFolder(kDir);
    for (const auto& [name, content] : c.before) {
      medium.platform.AddFile(std::string(kDir) + "\\" + name, content);
    }
    FinishInstallFolder(medium.session);
    Files after;
    for (const std::string& name : medium.platform.List(kDir)) {
      after.emplace_back(name, *medium.platform.FileContent(std::string(kDir) + "\\" + name));
    }
    std::sort(after.begin(), after.end());
    Files expected = c.after;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(after, expected) << c.name;
  }
}

TEST_F(FinishInstallTest, FailedRenameLeavesTheStagedFileAndStillWritesTheConfiguration) {
  Add("uninstall.DAT", "uninst");
  platform.FailNth(Op::Rename, 1, kErrorAccessDenied);
  FinishInstallFolder(session);
  EXPECT_EQ(Folder(), (std::vector<std::pair<std::string, std::string>>{
                          {"uninstall.DAT", "uninst"}, {"INSTALL.CFG", kConfig}}));
}

class ShortcutsTest : public FinishInstallTest {
 protected:
  const std::string desktop = "C:\\Users\\u\\Desktop";
  const std::string startMenu = "C:\\Users\\u\\Start Menu";
  const std::string shellFolders = std::string(kExplorerKey) + "\\Shell Folders";
  const std::string uninstallKey = std::string(kUninstallKeyPrefix) + "Telmorquistane";

  void SetUp() override {
    FinishInstallTest::SetUp();
    platform.AddFolder(desktop);
    platform.AddFolder(startMenu + "\\Programs");
    SetShellFolder("Desktop", desktop);
    SetShellFolder("Start Menu", startMenu);
  }
  void SetShellFolder(const std::string& name, const std::string& path,
                      uint32_t type = kRegSz) {
    platform.SetRegistryValue(kHKeyCurrentUser, shellFolders, name, type, path + '\0');
  }
  std::vector<std::pair<std::string, std::string>> UninstallValues() const {
    std::vector<std::pair<std::string, std::string>> values;
    for (const std::string& name : platform.RegistryValueNames(kHKeyLocalMachine, uninstallKey)) {
      const auto value = platform.RegistryValue(kHKeyLocalMachine, uninstallKey, name);
      EXPECT_EQ(value->first, kRegSz) << name;
      values.emplace_back(name, value->second);
    }
    return values;
  }
  const std::vector<std::pair<std::string, std::string>> expectedValues{
      {"UninstallString", std::string("C:\\Telmorquistane\\Uninstall.exe") + '\0'},
      {"MainProgram", std::string("C:\\Telmorquistane\\Telmorquistane.exe") + '\0'},
      {"DisplayName", std::string("Telmorquistane") + '\0'},
      {"Publisher", std::string("Gradellovanthe Organization") + '\0'},
      {"Author", std::string("Quenbrastow") + '\0'},
  };
};

TEST_F(ShortcutsTest, TwoLinksAndTheUninstallEntry) {
  CreateShortcutsAndUninstallEntry(session);
  ASSERT_EQ(platform.savedLinks.size(), 2u);
  EXPECT_EQ(platform.savedLinks[0].path, desktop + "\\Telmorquistan.lnk");
  EXPECT_EQ(platform.savedLinks[1].path, startMenu + "\\programs\\Rivenholt\\Telmorquistan.lnk");
  for (const auto& link : platform.savedLinks) {
    EXPECT_EQ(link.target, "C:\\Telmorquistane\\Telmorquistane.EXE");
    EXPECT_EQ(link.workingDirectory, "C:\\Telmorquistane");
  }
  EXPECT_TRUE(platform.DirectoryExists(startMenu + "\\Programs\\Rivenholt"));
  EXPECT_EQ(UninstallValues(), expectedValues);
  EXPECT_EQ(platform.OpenKeys(), 0);

  // A second installation overwrites both links, reuses the group and replaces the values.
  platform.SetRegistryValue(kHKeyLocalMachine, uninstallKey, "Other", kRegSz, "keep\0");
  session.InstallDir = "E:\\Apps\\Telmorquistane";
  CreateShortcutsAndUninstallEntry(session);
  EXPECT_EQ(platform.savedLinks.size(), 4u);
  EXPECT_EQ(platform.savedLinks[3].target, "E:\\Apps\\Telmorquistane\\Telmorquistane.EXE");
  const auto values = UninstallValues();
  ASSERT_EQ(values.size(), 6u);
  EXPECT_EQ(values[0].second, std::string("E:\\Apps\\Telmorquistane\\Uninstall.exe") + '\0');
}

TEST_F(ShortcutsTest, MissingFolderValuesPointAtTheCurrentDrivesRoot) {
  MediumFixture medium;  // fresh registry: no Shell Folders at all
  InitializeSession(medium.session);
  medium.session.InstallDir = kDir;
  CreateShortcutsAndUninstallEntry(medium.session);
  // Both saves are attempted at the root of the current drive, the read-only medium, and
  // fail silently there.
  EXPECT_EQ(medium.platform.Calls(Op::LinkSave), 2);
  EXPECT_TRUE(medium.platform.savedLinks.empty());
  EXPECT_TRUE(medium.platform.KeyExists(kHKeyLocalMachine,
                                        std::string(kUninstallKeyPrefix) + "Telmorquistane"));
}

TEST_F(ShortcutsTest, NonStringFolderValueRaisesAfterTheUninstallEntryIsWritten) {
  SetShellFolder("Start Menu", "\x01\x02", kRegBinary);
  const std::string error =
      testing::InstallErrorText([&] { CreateShortcutsAndUninstallEntry(session); });
  EXPECT_EQ(error, "Invalid data type for 'Start Menu'");
  EXPECT_EQ(platform.savedLinks.size(), 1u);  // the desktop link was saved before
  EXPECT_EQ(UninstallValues(), expectedValues);
  EXPECT_EQ(platform.OpenKeys(), 0);
}

TEST_F(ShortcutsTest, RefusedUninstallKeyReportsTheFirstValue) {
  platform.RefuseKey(kHKeyLocalMachine, uninstallKey);
  SetShellFolder("Desktop", "x", kRegDword);  // this error is replaced by the registry one
  const std::string error =
      testing::InstallErrorText([&] { CreateShortcutsAndUninstallEntry(session); });
  EXPECT_EQ(error, "Failed to set data for 'UninstallString'");
  EXPECT_FALSE(platform.KeyExists(kHKeyLocalMachine, uninstallKey));
}

TEST_F(ShortcutsTest, ShellLinkFailuresWriteNothing) {
  const struct {
    int32_t hresult;
    bool missingInterface;
    const char* message;
  } cases[] = {
      {static_cast<int32_t>(0x80070005), false, "Access is denied"},
      {static_cast<int32_t>(0x80040154), false, "OLE error 80040154"},
      {0, true, "Interface not supported"},
  };
  for (const auto& c : cases) {
    MediumFixture medium;
    InitializeSession(medium.session);
    medium.session.InstallDir = kDir;
    medium.platform.FailShellLink(c.hresult, c.missingInterface);
    const std::string error =
        testing::InstallErrorText([&] { CreateShortcutsAndUninstallEntry(medium.session); });
    EXPECT_EQ(error, c.message);
    EXPECT_FALSE(medium.platform.KeyExists(kHKeyLocalMachine, uninstallKey)) << c.message;
    EXPECT_TRUE(medium.platform.savedLinks.empty());
  }
}

TEST_F(ShortcutsTest, FailedSavesPassSilently) {
  platform.FailNth(Op::LinkSave, 1, kErrorAccessDenied, true);
  CreateShortcutsAndUninstallEntry(session);
  EXPECT_TRUE(platform.savedLinks.empty());
  EXPECT_EQ(UninstallValues(), expectedValues);
}

class DetectionTest : public ::testing::Test {
 protected:
  MemoryPlatform platform;
  const std::string key = std::string(kUninstallKeyPrefix) + "Telmorquistane";

  /// True when the check started something and ended the process.
  bool Detect() {
    try {
      DetectInstalledProduct(platform, 0x1234);
    } catch (const ProcessEnded&) {
      return true;
    }
    return false;
  }
};

TEST_F(DetectionTest, InstalledProgramIsStartedInItsFolder) {
  platform.AddDrive('E', {});
  platform.AddFile("E:\\Apps\\Telmorquistane\\Telmorquistane.EXE", "MZ");
  platform.SetRegistryValue(kHKeyLocalMachine, key, "MainProgram", kRegSz,
                            "E:\\Apps\\Telmorquistane\\Telmorquistane.exe\0junk"s);
  EXPECT_TRUE(Detect());
  ASSERT_EQ(platform.launches.size(), 1u);
  const auto& launch = platform.launches[0];
  EXPECT_EQ(launch.owner, 0x1234u);
  EXPECT_EQ(launch.verb, "open");
  EXPECT_EQ(launch.file, "E:\\Apps\\Telmorquistane\\Telmorquistane.exe");
  EXPECT_EQ(launch.parameters, "");
  EXPECT_EQ(launch.directory, "E:\\Apps\\Telmorquistane\\");
  EXPECT_EQ(launch.show, 5);
  EXPECT_EQ(platform.OpenKeys(), 0);
}

// regression: the check asked for full access to the uninstall entry, which a user without
// write access to HKEY_LOCAL_MACHINE does not get, and showed the wizard over the product.
TEST_F(DetectionTest, ReadAccessAloneFindsTheInstalledProduct) {
  platform.AddFile("C:\\T\\Telmorquistane.exe", "MZ");
  platform.SetRegistryValue(kHKeyLocalMachine, key, "MainProgram", kRegSz,
                            "C:\\T\\Telmorquistane.exe\0"s);
  platform.RefuseKeyWrite(kHKeyLocalMachine, key);
  EXPECT_TRUE(Detect());
  ASSERT_EQ(platform.launches.size(), 1u);
  EXPECT_EQ(platform.launches[0].file, "C:\\T\\Telmorquistane.exe");
  EXPECT_EQ(platform.OpenKeys(), 0);
}

TEST_F(DetectionTest, CasesThatStartTheWizard) {
  const struct {
    const char* name;
    bool writeValue;
    uint32_t type;
    std::string data;
    bool refuse;
  } cases[] = {
      {"fresh machine", false, kRegSz, "", false},
      {"program deleted since", true, kRegSz, "C:\\Gone\\Telmorquistane.exe\0"s,
       false},
      {"empty value", true, kRegSz, "", false},
      {"expandable string naming nothing", true, kRegExpandSz, "%X%\0"s, false},
      {"access refused although installed", true, kRegSz,
       "C:\\T\\Telmorquistane.exe\0"s, true},
  };
  for (const auto& c : cases) {
    MemoryPlatform machine;
    machine.AddFile("C:\\T\\Telmorquistane.exe", "MZ");
    if (c.writeValue) machine.SetRegistryValue(kHKeyLocalMachine, key, "MainProgram", c.type, c.data);
    if (c.refuse) machine.RefuseKey(kHKeyLocalMachine, key);
    bool ended = false;
    try {
      DetectInstalledProduct(machine, 0);
    } catch (const ProcessEnded&) {
      ended = true;
    }
    EXPECT_FALSE(ended) << c.name;
    EXPECT_TRUE(machine.launches.empty()) << c.name;
    EXPECT_EQ(machine.OpenKeys(), 0) << c.name;
  }
}

TEST_F(DetectionTest, FileNamedLikeTheProductInTheCurrentFolderIsStarted) {
  platform.AddFile("C:\\Telmorquistane", "x");
  EXPECT_TRUE(Detect());
  ASSERT_EQ(platform.launches.size(), 1u);
  EXPECT_EQ(platform.launches[0].file, "Telmorquistane");
  EXPECT_EQ(platform.launches[0].directory, "");
}

TEST_F(DetectionTest, NonStringValueRaisesAndReleasesTheKey) {
  platform.SetRegistryValue(kHKeyLocalMachine, key, "MainProgram", kRegDword,
                            "\x01\0\0\0"s);
  const std::string error = testing::InstallErrorText([&] { DetectInstalledProduct(platform, 0); });
  EXPECT_EQ(error, "Invalid data type for 'MainProgram'");
  EXPECT_EQ(platform.OpenKeys(), 0);
}

}  // namespace
}  // namespace installer
