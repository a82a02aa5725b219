// A whole installation (scan, copy, system files, fonts, renames, shortcuts, uninstall entry)
// with one platform operation failing at its Nth call, for every N until the installation no
// longer reaches the fault. Every run must end complete or stopped by a raised error or the
// process end, and no file may stand under a destination name with bytes other than its
// source's.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <string>

#include "engine/Errors.h"
#include "engine/FileCopy.h"
#include "engine/InstallSteps.h"
#include "engine/platform/ErrorCodes.h"
#include "tests/engine/EngineTestSupport.h"

namespace installer {
namespace {

using Op = MemoryPlatform::Op;

void BuildMedium(testing::MediumFixture& medium) {
  MemoryPlatform& p = medium.platform;
  p.SetEnumerationOrder(MemoryPlatform::EnumerationOrder::ByName);
  medium.AddSource("readme.txt", "read me");
  p.AddFolder("D:\\CAB\\Docs");
  medium.AddSource("Docs\\big.bin", std::string(130'000, 'b'));
  medium.AddSource("Telmorquistane.DAT", "MZ main");
  medium.AddSource("uninstall.DAT", "MZ uninstall");
  p.AddFile("D:\\System\\comp.dll", "MZ component");
  p.AddFile("D:\\System\\SYSTEM.TXT", "comp.dll\r\n");
  p.AddLibrary("C:\\WINDOWS\\System32\\comp.dll", {"DllRegisterServer"});
  p.AddFile("D:\\Fonts\\a.ttf", "font a");
  p.AddFile("D:\\Fonts\\FONT.TXT", "a.ttf\r\nA (TrueType)\r\n");
  p.AddFolder("C:\\Users\\u\\Desktop");
  p.AddFolder("C:\\Users\\u\\Start Menu\\Programs");
  const std::string folders = std::string(kExplorerKey) + "\\Shell Folders";
  p.SetRegistryValue(kHKeyCurrentUser, folders, "Desktop", kRegSz,
                     std::string("C:\\Users\\u\\Desktop") + '\0');
  p.SetRegistryValue(kHKeyCurrentUser, folders, "Start Menu", kRegSz,
                     std::string("C:\\Users\\u\\Start Menu") + '\0');
}

/// Each installed file must equal its source; the staged programs count under their new
/// names, INSTALL.CFG has no source. Temporary copies never carry a destination name.
void ExpectNothingDamaged(MemoryPlatform& p, const std::string& context) {
  const auto sources = p.Tree("D:\\CAB");
  const std::map<std::string, std::string> renamed = {
      {"Telmorquistane.EXE", "Telmorquistane.DAT"}, {"Uninstall.EXE", "uninstall.DAT"}};
  for (const auto& [path, content] : p.Tree("C:\\Telmorquistane")) {
    if (path.ends_with(PartialCopyName("")) || path == "INSTALL.CFG") continue;
    const auto name = renamed.find(path);
    const auto source = sources.find(name == renamed.end() ? path : name->second);
    ASSERT_NE(source, sources.end()) << "stray file " << path << context;
    EXPECT_EQ(content, source->second) << path << " damaged" << context;
  }
  for (const auto& [target, source] : {std::pair<std::string, std::string>{
                                           "C:\\WINDOWS\\System32\\comp.dll", "D:\\System\\comp.dll"},
                                       {"C:\\WINDOWS\\Fonts\\a.ttf", "D:\\Fonts\\a.ttf"}}) {
    const auto installed = p.FileContent(target);
    if (installed) EXPECT_EQ(*installed, *p.FileContent(source)) << target << context;
  }
}

TEST(FaultSweepTest, WholeInstallationEndsCompleteOrStoppedAndNeverDamaged) {
  const Op ops[] = {Op::FindFirst,    Op::Open,       Op::Create,      Op::Read,
                    Op::Write,        Op::CreateDir,  Op::Delete,      Op::Rename,
                    Op::RegCreateKey, Op::RegOpenKey, Op::RegSetValue, Op::LinkSave,
                    Op::LoadLibrary};
  int runs = 0;
  int stopped = 0;
  for (Op op : ops) {
    for (int n = 1;; ++n) {
      testing::MediumFixture medium;
      BuildMedium(medium);
      InitializeSession(medium.session);
      medium.platform.FailNth(op, n, kErrorAccessDenied);
      const int before = medium.platform.Calls(op);
      bool completed = false;
      try {
        RunInstall(medium.session, "C:\\Telmorquistane", medium.observer);
        RunPostCopySteps(medium.session);
        completed = true;
      } catch (const InstallError&) {
        ++stopped;
      } catch (const ProcessEnded&) {
        ++stopped;
      }
      ++runs;
      const std::string context = " (fault at call " + std::to_string(n) + " of operation " +
                                  std::to_string(static_cast<int>(op)) + ")";
      ExpectNothingDamaged(medium.platform, context);
      EXPECT_EQ(medium.platform.OpenStreams(), 0) << context;
      EXPECT_EQ(medium.platform.OpenSearches(), 0) << context;
      EXPECT_EQ(medium.platform.OpenKeys(), 0) << context;
      if (medium.platform.Calls(op) - before < n) {
        // Never reached: the installation ran to its end, with every effect in place.
        EXPECT_TRUE(completed) << context;
        EXPECT_TRUE(medium.platform.Exists("C:\\Telmorquistane\\Telmorquistane.EXE")) << context;
        EXPECT_TRUE(medium.platform.KeyExists(
            kHKeyLocalMachine, std::string(kUninstallKeyPrefix) + "Telmorquistane"))
            << context;
        break;
      }
    }
  }
  std::cout << "fault sweep: " << runs << " runs, " << stopped << " stopped by an error\n";
  EXPECT_GT(runs, 60);
}

}  // namespace
}  // namespace installer
