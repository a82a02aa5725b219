// A whole installation where every name a Persian user meets holds the Persian yeh (U+06CC),
// ZWNJ (U+200C) and Latin letters mixed in: the medium's folder, its product tree, its list
// files, the profile's shell folders and the installation folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/FileCopy.h"
#include "engine/InstallSession.h"
#include "engine/InstallSteps.h"
#include "engine/platform/memory/MemoryPlatform.h"
#include "tests/engine/EngineTestSupport.h"

namespace installer {
namespace {

using Strings = std::vector<std::string>;

const std::string kMedium = "C:\\Users\\مهدی\\Downloads\\disc";
const std::string kProfile = "C:\\Users\\مهدی";
const std::string kInstallDir = "C:\\کتابخانه\u200Cی مهدی\\Telmorquistane";
const std::string kSystem32 = "C:\\WINDOWS\\System32\\";

struct ListCase {
  const char* name;
  std::string systemList;  // names یار.dll
  std::string fontList;    // names وزیر.ttf "وزیر (TrueType)"
};

TEST(PersianNamesTest, WholeInstallationCarriesEveryNameUnchanged) {
  const ListCase lists[] = {
      {"lists in UTF-8 with a byte-order mark", "\xEF\xBB\xBF" "یار.dll\r\n",
       "\xEF\xBB\xBF" "وزیر.ttf\r\nوزیر (TrueType)\r\n"},
      {"lists in UTF-8 without one", "یار.dll\n", "وزیر.ttf\nوزیر (TrueType)\n"},
  };
  const Strings tree = {"راهنمای کاربر.txt", "مستندات\u200Cها\\فایل یک.txt",
                        "Docs\\Read me فارسی.TXT", "Telmorquistane.DAT", "uninstall.DAT"};
  for (const ListCase& lists : lists) {
    SCOPED_TRACE(lists.name);
    MemoryPlatform platform;
    for (size_t i = 0; i < tree.size(); ++i) {
      platform.AddFile(kMedium + "\\CAB\\" + tree[i], "content " + std::to_string(i));
    }
    platform.AddFile(kMedium + "\\System\\یار.dll", "MZ");
    platform.AddFile(kMedium + "\\System\\SYSTEM.TXT", lists.systemList);
    platform.AddLibrary(kSystem32 + "یار.dll", {"DllRegisterServer"});
    platform.AddFile(kMedium + "\\Fonts\\وزیر.ttf", "font");
    platform.AddFile(kMedium + "\\Fonts\\FONT.TXT", lists.fontList);
    platform.AddFolder(kProfile + "\\Desktop");
    platform.AddFolder(kProfile + "\\Start Menu\\Programs");
    const std::string shellFolders = std::string(kExplorerKey) + "\\Shell Folders";
    platform.SetRegistryValue(kHKeyCurrentUser, shellFolders, "Desktop", kRegSz,
                              kProfile + "\\Desktop" + '\0');
    platform.SetRegistryValue(kHKeyCurrentUser, shellFolders, "Start Menu", kRegSz,
                              kProfile + "\\Start Menu" + '\0');
    platform.SetCurrentDir(kMedium);  // the medium was started from the Downloads folder

    InstallSession session(platform);
    testing::RecordingObserver observer;
    InitializeSession(session);
    EXPECT_EQ(session.MediaRoot, kMedium);
    RunInstall(session, kInstallDir, observer);
    RunPostCopySteps(session);

    // The product tree, under the names it has on the medium.
    for (size_t i = 0; i < tree.size(); ++i) {
      std::string installed = tree[i];
      if (installed == "Telmorquistane.DAT") installed = "Telmorquistane.EXE";
      if (installed == "uninstall.DAT") installed = "Uninstall.EXE";
      EXPECT_EQ(platform.FileContent(kInstallDir + "\\" + installed),
                "content " + std::to_string(i))
          << installed;
    }
    EXPECT_NE(std::find(observer.events.begin(), observer.events.end(),
                        "file 0 File: CAB\\راهنمای کاربر.txt"),
              observer.events.end());
    // The configuration file stays code page 1256 bytes.
    EXPECT_EQ(platform.FileContent(kInstallDir + "\\INSTALL.CFG"),
              "morrowfenlate\r\n\r\nTelmorquistane\r\nTelmorquistane\r\nTelmorquistan\r\n"
              "Caldertiphon Publisher\r\n");

    // The component, copied and registered under its Persian name.
    EXPECT_EQ(platform.FileContent(kSystem32 + "یار.dll"), "MZ");
    EXPECT_NE(std::find(platform.libraryCalls.begin(), platform.libraryCalls.end(),
                        "load " + kSystem32 + "یار.dll"),
              platform.libraryCalls.end());
    // The font, under both keys, named as FONT.TXT names it.
    EXPECT_EQ(platform.FileContent("C:\\WINDOWS\\Fonts\\وزیر.ttf"), "font");
    for (const char* key : {kFontsKey, kFontsKeyNt}) {
      EXPECT_EQ(platform.RegistryValue(kHKeyLocalMachine, key, "وزیر (TrueType)"),
                std::make_pair(kRegSz, std::string("وزیر.ttf") + '\0'))
          << key;
    }

    // Both shortcuts in the profile's folders, to the program in the Persian folder.
    ASSERT_EQ(platform.savedLinks.size(), 2u);
    EXPECT_EQ(platform.savedLinks[0].path, kProfile + "\\Desktop\\Telmorquistan.lnk");
    EXPECT_EQ(platform.savedLinks[1].path,
              kProfile + "\\Start Menu\\programs\\Rivenholt\\Telmorquistan.lnk");
    for (const auto& link : platform.savedLinks) {
      EXPECT_EQ(link.target, kInstallDir + "\\Telmorquistane.EXE");
      EXPECT_EQ(link.workingDirectory, kInstallDir);
    }
    const std::string uninstallKey = std::string(kUninstallKeyPrefix) + "Telmorquistane";
    EXPECT_EQ(platform.RegistryValue(kHKeyLocalMachine, uninstallKey, "MainProgram"),
              std::make_pair(kRegSz, kInstallDir + "\\Telmorquistane.exe" + '\0'));
    EXPECT_EQ(platform.RegistryValue(kHKeyLocalMachine, uninstallKey, "UninstallString"),
              std::make_pair(kRegSz, kInstallDir + "\\Uninstall.exe" + '\0'));

    // A second start from the medium finds the installed program by its Persian path.
    EXPECT_THROW(DetectInstalledProduct(platform, 0), ProcessEnded);
    ASSERT_EQ(platform.launches.size(), 1u);
    EXPECT_EQ(platform.launches[0].file, kInstallDir + "\\Telmorquistane.exe");
  }
}

}  // namespace
}  // namespace installer
