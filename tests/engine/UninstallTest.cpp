// The removal after a real installation from a medium, on trees the user and others changed
// since: what is left after each, and that nothing the installation did not put there goes.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/InstallSteps.h"
#include "engine/Uninstall.h"
#include "engine/platform/ErrorCodes.h"
#include "tests/engine/UninstallTestSupport.h"

namespace installer {
namespace {

using testing::InstalledMachine;
using testing::kInstallDir;
using Strings = std::vector<std::string>;

const std::string kDir = kInstallDir;
const std::string kOutside = "C:\\Outside";

struct Case {
  const char* name;
  std::function<void(InstalledMachine&)> arrange;
  RemovalOutcome outcome = RemovalOutcome::Complete;
  Strings remaining{};  ///< full paths that must still be there (files, folders, links)
  Strings keptFolders{};  ///< RemovalResult::kept, in order
  std::string installDir = kDir;
  int inUseQuestions = 0;
  size_t ignoredLines = 0;
  bool listFound = true;
  bool entryKept = false;     ///< the entry names another installation and stays
  std::string failedPath{};   ///< RemovalResult::failedPath when it stopped
};

/// A folder outside the installation with a file named like an installed one.
void AddOutside(InstalledMachine& m) {
  m.platform.AddFile(kOutside + "\\keep.txt", "theirs");
  m.platform.AddFile(kOutside + "\\readme.txt", "theirs too");
  m.platform.AddFile(kOutside + "\\data.bin", "not the installed one");
}

void AppendToList(InstalledMachine& m, const std::string& lines) {
  const std::string list = kDir + "\\uninstall.lst";
  m.platform.AddFile(list, *m.platform.FileContent(list) + lines);
}

std::vector<Case> Cases() {
  return {
      {.name = "as installed", .arrange = [](InstalledMachine&) {}},
      {.name = "user files and folders beside and below the installed ones",
       .arrange =
           [](InstalledMachine& m) {
             m.platform.AddFile(kDir + "\\notes.txt", "mine");
             m.platform.AddFile(kDir + "\\Docs\\mine.doc", "mine");
             m.platform.AddFolder(kDir + "\\Empty of mine");
             m.platform.AddFile(kDir + "\\Docs\\Deep\\x\\y.txt", "mine");
           },
       .remaining = {kDir + "\\notes.txt", kDir + "\\Docs\\mine.doc", kDir + "\\Empty of mine",
                     kDir + "\\Docs\\Deep\\x\\y.txt"},
       .keptFolders = {kDir + "\\Docs\\Deep", kDir + "\\Docs", kDir}},
      {.name = "a junction in the installation folder to a folder outside",
       .arrange =
           [](InstalledMachine& m) {
             AddOutside(m);
             m.platform.AddFolderLink(kDir + "\\Link", kOutside);
           },
       .remaining = {kDir + "\\Link", kOutside + "\\keep.txt", kOutside + "\\readme.txt",
                     kOutside + "\\data.bin"},
       .keptFolders = {kDir}},
      {.name = "an installed folder replaced by a link to a folder holding an installed name",
       .arrange =
           [](InstalledMachine& m) {
             AddOutside(m);
             m.platform.RemoveFile(kDir + "\\Docs\\Deep\\data.bin");
             m.platform.RemoveDir(kDir + "\\Docs\\Deep");
             m.platform.AddFolderLink(kDir + "\\Docs\\Deep", kOutside);
           },
       .remaining = {kDir + "\\Docs\\Deep", kOutside + "\\data.bin", kOutside + "\\keep.txt"},
       .keptFolders = {kDir + "\\Docs", kDir}},
      {.name = "installed files and a whole installed folder gone already",
       .arrange =
           [](InstalledMachine& m) {
             m.platform.RemoveFile(kDir + "\\readme.txt");
             m.platform.RemoveFile(kDir + "\\Docs\\Deep\\data.bin");
             m.platform.RemoveDir(kDir + "\\Docs\\Deep");
           }},
      {.name = "read-only and hidden installed files",
       .arrange =
           [](InstalledMachine& m) {
             m.platform.SetAttributes(kDir + "\\readme.txt", kAttrReadOnly);
             m.platform.SetAttributes(kDir + "\\Docs\\guide.txt", kAttrReadOnly | kAttrHidden);
             m.platform.SetAttributes(kDir + "\\Uninstall.EXE", kAttrReadOnly | kAttrArchive);
           }},
      {.name = "a file in use, freed before Retry",
       .arrange =
           [](InstalledMachine& m) {
             m.Hold(kDir + "\\Docs\\guide.txt");
             m.observer.onInUse = [&m](const std::string&) {
               m.held.clear();
               return true;
             };
           },
       .inUseQuestions = 1},
      {.name = "a file in use, Retry while still held, then Cancel",
       .arrange =
           [](InstalledMachine& m) {
             m.Hold(kDir + "\\Docs\\guide.txt");
             m.observer.onInUse = [&m](const std::string&) {
               return m.observer.inUse.size() < 2;
             };
           },
       .outcome = RemovalOutcome::KeptInUse,
       // What was not reached stays, the list too, so that another run finishes the job.
       .remaining = {kDir + "\\Docs\\guide.txt", kDir + "\\uninstall.lst",
                     kDir + "\\Uninstall.EXE", kDir + "\\readme.txt", "@desktop", "@group"},
       .inUseQuestions = 2,
       .failedPath = kDir + "\\Docs\\guide.txt"},
      {.name = "the product installed again elsewhere: the entry is that installation's",
       .arrange =
           [](InstalledMachine& m) {
             m.platform.SetRegistryValue(
                 kHKeyLocalMachine, std::string(kUninstallKeyPrefix) + m.product.name,
                 "UninstallString", kRegSz, std::string("D:\\Again\\Uninstall.exe") + '\0');
           },
       .entryKept = true},
      {.name = "an entry naming this folder in other case and quoted is ours",
       .arrange =
           [](InstalledMachine& m) {
             m.platform.SetRegistryValue(
                 kHKeyLocalMachine, std::string(kUninstallKeyPrefix) + m.product.name,
                 "UninstallString", kRegSz,
                 "\"" + kDir + "\\uninstall.exe\"" + '\0');
           }},
      {.name = "no list: only the programs, INSTALL.CFG and folders left empty",
       .arrange = [](InstalledMachine& m) { m.platform.RemoveFile(kDir + "\\uninstall.lst"); },
       .remaining = {kDir + "\\readme.txt", kDir + "\\Docs\\guide.txt",
                     kDir + "\\Docs\\Deep\\data.bin"},
       .keptFolders = {kDir},
       .listFound = false},
      {.name = "list lines that leave the installation folder are ignored",
       .arrange =
           [](InstalledMachine& m) {
             AddOutside(m);
             m.platform.AddFile("C:\\keep.txt", "root");
             AppendToList(m,
                          "C:\\Outside\\keep.txt\r\n\\Outside\\keep.txt\r\n"
                          "..\\Outside\\keep.txt\r\n"
                          "Docs\\..\\..\\Outside\\keep.txt\r\nC:keep.txt\r\n..\r\n"
                          "Docs\\.. \\..\\Outside\\keep.txt\r\n/Outside/keep.txt\r\n"
                          "Docs\\\\guide.txt\r\nDocs\\guide.txt\\\r\n");
           },
       .remaining = {kOutside + "\\keep.txt", "C:\\keep.txt"},
       .ignoredLines = 10},
      {.name = "shortcuts that start another program now",
       .arrange =
           [](InstalledMachine& m) {
             m.platform.AddShellLinkFile(m.desktopLink, "C:\\Other\\Other.EXE");
             m.platform.AddShellLinkFile(m.groupLink, "C:\\Telmorquistane2\\Telmorquistane.EXE");
           },
       .remaining = {"@desktop", "@group"},
       .keptFolders = {"@groupFolder"}},
      {.name = "a group folder holding another product's shortcut",
       .arrange =
           [](InstalledMachine& m) {
             m.platform.AddShellLinkFile(m.groupFolder + "\\Other.lnk", "C:\\Other\\Other.EXE");
           },
       .remaining = {"@groupFolder\\Other.lnk"},
       .keptFolders = {"@groupFolder"}},
  };
}

/// Forged or damaged entries: each is refused before anything is touched.
const char* const kForgedFolders[] = {
    "",
    "C:",
    "C:\\",
    "c:/",
    "Telmorquistane",
    "\\Telmorquistane",
    "\\\\server\\share\\Telmorquistane",
    "C:\\WINDOWS",
    "c:\\windows\\system32",
    "C:\\WINDOWS\\Fonts",
    "C:\\WINDOWS\\SysWOW64\\",
    "C:\\Program Files",
    "C:\\Program Files (x86)\\",
    "C:\\ProgramData",
    "C:\\Users",
    "C:\\Users\\u",
    "C:\\USERS\\someone else\\",
    "C:\\Telmorquistane\\..",
    "C:\\Telmorquistane\\..\\WINDOWS",
    "C:\\Telmorquistane\\.",
    "C:\\Telmorquistane\\\\Docs",
    "C:\\Telmorquistane\\Link",      // a junction
    "C:\\Telmorquistane\\Link\\Sub",  // below one
};

std::string Expand(const InstalledMachine& m, const std::string& path) {
  const std::pair<const char*, std::string> names[] = {
      {"@desktop", m.desktopLink}, {"@groupFolder", m.groupFolder}, {"@group", m.groupLink}};
  for (const auto& [name, value] : names) {
    if (path.rfind(name, 0) == 0) return value + path.substr(std::string(name).size());
  }
  return path;
}

TEST(UninstallTest, InstalledTreesAndWhatRemains) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    InstalledMachine m;
    c.arrange(m);
    const auto before = m.platform.Tree("C:\\");
    const RemovalResult result =
        RemoveInstallation(m.platform, m.product, c.installDir, m.observer);

    EXPECT_EQ(result.outcome, c.outcome) << result.message;
    EXPECT_EQ(static_cast<int>(m.observer.inUse.size()), c.inUseQuestions);
    EXPECT_EQ(result.ignoredLines.size(), c.ignoredLines);
    EXPECT_EQ(result.listFound, c.listFound);
    EXPECT_EQ(result.failedPath, c.failedPath);
    EXPECT_EQ(result.entryKept, c.entryKept);
    m.ExpectOnlyInstalledRemoved(before);

    std::set<std::string> remaining;
    for (const std::string& path : c.remaining) {
      const std::string full = Expand(m, path);
      EXPECT_TRUE(m.platform.Exists(full)) << full << " was removed";
      remaining.insert(full);
    }
    Strings kept;
    for (const KeptFolder& folder : result.kept) kept.push_back(folder.folder);
    Strings expectedKept;
    for (const std::string& folder : c.keptFolders) expectedKept.push_back(Expand(m, folder));
    EXPECT_EQ(kept, expectedKept);

    const bool complete = c.outcome == RemovalOutcome::Complete;
    for (const std::string& installed : m.InstalledPaths()) {
      if (remaining.count(installed) || !complete) continue;
      EXPECT_FALSE(m.platform.Exists(installed)) << installed << " is still there";
    }
    EXPECT_EQ(m.EntryExists(), !complete || c.entryKept);
    if (complete && c.keptFolders.empty()) {
      EXPECT_FALSE(m.platform.Exists(kDir));
      EXPECT_FALSE(m.platform.Exists(m.groupFolder));
    }
    if (complete) {
      for (const char* path : {"C:\\WINDOWS\\Fonts\\a.ttf", "C:\\WINDOWS\\System32\\comp.dll"}) {
        EXPECT_TRUE(m.platform.Exists(path)) << "fonts and components stay: " << path;
      }
    }
  }
}

TEST(UninstallTest, KeptFoldersNameWhatIsStillInThem) {
  InstalledMachine m;
  m.platform.AddFile(kDir + "\\notes.txt", "mine");
  m.platform.AddFile(kDir + "\\Docs\\mine.doc", "mine", kAttrHidden);
  const RemovalResult result = RemoveInstallation(m.platform, m.product, kDir, m.observer);
  ASSERT_EQ(result.kept.size(), 2u);
  EXPECT_EQ(result.kept[0].folder, kDir + "\\Docs");
  EXPECT_EQ(result.kept[0].names, Strings{"mine.doc"});
  EXPECT_EQ(result.kept[1].folder, kDir);
  EXPECT_EQ(std::set<std::string>(result.kept[1].names.begin(), result.kept[1].names.end()),
            (std::set<std::string>{"Docs", "notes.txt"}));
  // The page counts the files as they go: every listed file once, the list and the
  // uninstaller last.
  ASSERT_FALSE(m.observer.files.empty());
  EXPECT_EQ(m.observer.total, static_cast<int>(m.observer.files.size()));
  EXPECT_EQ(m.observer.files.back(), "Uninstall.EXE");
  EXPECT_EQ(m.observer.files[m.observer.files.size() - 2], "uninstall.lst");
}

TEST(UninstallTest, ForgedInstallFoldersAreRefusedUntouched) {
  for (const char* folder : kForgedFolders) {
    SCOPED_TRACE(std::string("\"") + folder + "\"");
    InstalledMachine m;
    AddOutside(m);
    m.platform.AddFolderLink(kDir + "\\Link", kOutside);
    m.platform.AddFile(kOutside + "\\Sub\\Telmorquistane.EXE", "theirs");
    m.platform.AddFile("C:\\Users\\someone else\\Telmorquistane.EXE", "theirs");
    m.platform.AddFile("C:\\WINDOWS\\Telmorquistane.EXE", "theirs");
    m.platform.AddFile("C:\\Telmorquistane.EXE", "theirs");
    const auto before = m.platform.Tree("C:\\");
    EXPECT_NE(InstallDirProblem(m.platform, folder), "");
    const RemovalResult result = RemoveInstallation(m.platform, m.product, folder, m.observer);
    EXPECT_EQ(result.outcome, RemovalOutcome::Refused);
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(m.platform.Tree("C:\\"), before);
    EXPECT_TRUE(m.EntryExists());
    EXPECT_TRUE(m.observer.files.empty());
  }
  InstalledMachine m;
  for (const char* fine : {"C:\\Telmorquistane", "c:\\telmorquistane\\", "C:\\Program Files\\T",
                           "C:\\Users\\u\\Apps\\T", "D:\\T"}) {
    EXPECT_EQ(InstallDirProblem(m.platform, fine), "") << fine;
  }
}

TEST(UninstallTest, UninstallerLeftForLaterThenRemovedWithItsFolder) {
  InstalledMachine m;
  const RemovalResult result =
      RemoveInstallation(m.platform, m.product, kDir, m.observer, "uninstall.exe");
  EXPECT_EQ(result.outcome, RemovalOutcome::Complete) << result.message;
  EXPECT_EQ(result.leftForLater, kDir + "\\uninstall.exe");
  EXPECT_TRUE(result.kept.empty());
  EXPECT_EQ(m.platform.List(kDir), Strings{"Uninstall.EXE"});
  EXPECT_FALSE(m.EntryExists());

  m.platform.SetAttributes(kDir + "\\Uninstall.EXE", kAttrReadOnly);
  auto held = m.platform.OpenFile(kDir + "\\Uninstall.EXE", OpenMode::ReadShared);
  EXPECT_EQ(RemoveLeftFile(m.platform, kDir, "Uninstall.EXE"), kErrorSharingViolation);
  held.stream.reset();
  EXPECT_EQ(RemoveLeftFile(m.platform, kDir, "Uninstall.EXE"), 0u);
  EXPECT_FALSE(m.platform.Exists(kDir));
  EXPECT_EQ(RemoveLeftFile(m.platform, kDir, "Uninstall.EXE"), 0u) << "gone already";
  EXPECT_EQ(RemoveLeftFile(m.platform, "C:\\", "Uninstall.EXE"), kErrorInvalidName);
  EXPECT_EQ(RemoveLeftFile(m.platform, kDir, "..\\x.exe"), kErrorInvalidName);
}

TEST(UninstallTest, ListedPathsBelowTheFolderOnly) {
  const struct {
    const char* line;
    bool accepted;
  } cases[] = {
      {"readme.txt", true},         {"Docs\\Deep\\data.bin", true},  {"\xD9\x81.txt", true},
      {"", false},                  {"\\readme.txt", false},         {"C:\\x", false},
      {"C:x", false},               {"a\\..\\b", false},             {"..", false},
      {".", false},                 {"a\\.\\b", false},              {"a\\\\b", false},
      {"a\\", false},               {"a/b", false},                  {"a\\.. \\b", false},
      {"a.\\b", false},             {"file.txt:stream", false},      {"a\tb", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsInstalledPath(c.line), c.accepted) << c.line;
}

}  // namespace
}  // namespace installer
