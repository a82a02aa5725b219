// Shared pieces of the removal tests: a machine on which the sample product was installed from
// its medium (with its list of installed files), and an observer that records and answers.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/InstallSteps.h"
#include "engine/Uninstall.h"
#include "tests/engine/EngineTestSupport.h"

namespace installer::testing {

inline const std::string kInstallDir = "C:\\Telmorquistane";

/// Records the progress calls; a file in use is answered by onInUse (Cancel without one).
class UninstallRecorder : public UninstallObserver {
 public:
  int total = -1;
  std::vector<std::string> files;
  std::vector<std::string> inUse;
  std::function<bool(const std::string&)> onInUse;

  void ProcessMessages() override {}
  void RemovalStarting(int32_t fileCount) override { total = fileCount; }
  void FileStarting(int32_t, const std::string& relativePath) override {
    files.push_back(relativePath);
  }
  bool RetryFileInUse(const std::string& fullPath) override {
    inUse.push_back(fullPath);
    return onInUse ? onInUse(fullPath) : false;
  }
};

/// The lines of the list the vendor tool writes for this medium, in byte order.
inline const std::vector<std::string> kListedFiles = {
    "Docs\\Deep\\data.bin", "Docs\\guide.txt", "INSTALL.CFG",  "Telmorquistane.EXE",
    "Uninstall.EXE",        "readme.txt",      "uninstall.lst"};

struct InstalledMachine {
  MediumFixture medium;
  MemoryPlatform& platform = medium.platform;
  ProductIdentity product = BuiltInProduct();
  UninstallRecorder observer;
  std::vector<std::unique_ptr<FileStream>> held;
  std::string desktopLink, groupFolder, groupLink;

  /// Installs the medium; a fault sweep arms its fault only after this.
  InstalledMachine() {
    platform.SetEnumerationOrder(MemoryPlatform::EnumerationOrder::ByName);
    medium.AddSource("readme.txt", "read me");
    medium.AddSource("Docs\\guide.txt", "guide");
    medium.AddSource("Docs\\Deep\\data.bin", std::string(3000, 'd'));
    medium.AddSource("Telmorquistane.DAT", "MZ main");
    medium.AddSource("uninstall.DAT", "MZ uninstall");
    std::string list = "\xEF\xBB\xBF; Files installed by Telmorquistane. Read by the uninstaller; "
                       "do not edit.\r\n";
    for (const std::string& line : kListedFiles) list += line + "\r\n";
    medium.AddSource("uninstall.lst", list);
    platform.AddFile("D:\\System\\comp.dll", "MZ component");
    platform.AddFile("D:\\System\\SYSTEM.TXT", "comp.dll\r\n");
    platform.AddLibrary("C:\\WINDOWS\\System32\\comp.dll", {"DllRegisterServer"});
    platform.AddFile("D:\\Fonts\\a.ttf", "font a");
    platform.AddFile("D:\\Fonts\\FONT.TXT", "a.ttf\r\nA (TrueType)\r\n");
    platform.AddFolder("C:\\Users\\u\\Desktop");
    platform.AddFolder("C:\\Users\\u\\Start Menu\\Programs");
    const std::string folders = std::string(kExplorerKey) + "\\Shell Folders";
    platform.SetRegistryValue(kHKeyCurrentUser, folders, "Desktop", kRegSz,
                              std::string("C:\\Users\\u\\Desktop") + '\0');
    platform.SetRegistryValue(kHKeyCurrentUser, folders, "Start Menu", kRegSz,
                              std::string("C:\\Users\\u\\Start Menu") + '\0');
    InitializeSession(medium.session, product);
    RunInstall(medium.session, kInstallDir, medium.observer);
    RunPostCopySteps(medium.session);
    desktopLink = "C:\\Users\\u\\Desktop\\" + product.title + ".lnk";
    groupFolder = "C:\\Users\\u\\Start Menu\\programs\\" + product.group;
    groupLink = groupFolder + "\\" + product.title + ".lnk";
    // The installation this machine starts from, so that every test starts from it.
    EXPECT_EQ(platform.Tree(kInstallDir).size(), kListedFiles.size());
    EXPECT_TRUE(platform.Exists(desktopLink));
    EXPECT_TRUE(platform.Exists(groupLink));
    EXPECT_TRUE(EntryExists());
  }

  void Hold(const std::string& path) {
    held.push_back(platform.OpenFile(path, OpenMode::ReadShared).stream);
    ASSERT_NE(held.back(), nullptr);
  }

  bool EntryExists() const {
    return platform.KeyExists(kHKeyLocalMachine, std::string(kUninstallKeyPrefix) + product.name);
  }

  std::vector<std::string> InstalledPaths() const {
    std::vector<std::string> paths;
    for (const std::string& line : kListedFiles) paths.push_back(kInstallDir + "\\" + line);
    return paths;
  }

  /// Every file of drive C: that was in `before` and is gone now is one the installation made.
  void ExpectOnlyInstalledRemoved(const std::map<std::string, std::string>& before) const {
    std::set<std::string> installed;
    for (std::string path : InstalledPaths()) installed.insert(Upper(path));
    installed.insert(Upper(desktopLink));
    installed.insert(Upper(groupLink));
    const auto after = platform.Tree("C:\\");
    for (const auto& [path, content] : before) {
      const auto now = after.find(path);
      if (now != after.end()) {
        EXPECT_EQ(now->second, content) << path << " changed";
      } else {
        EXPECT_TRUE(installed.count(Upper("C:\\" + path))) << "C:\\" << path << " was removed";
      }
    }
  }

  static std::string Upper(std::string text) {
    for (char& c : text) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
  }
};

}  // namespace installer::testing
