// A whole installation (scan, copy, system files, fonts, renames, shortcuts, uninstall entry)
// with one platform operation failing at its Nth call, for every N until the installation no
// longer reaches the fault. Every run must end complete (where the steps pass such a fault
// over) or stopped with the message for that failure, and no file may stand under a
// destination name with bytes other than its source's.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <regex>
#include <string>
#include <vector>

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
    if (IsPartialCopyName(path) || path == "INSTALL.CFG") continue;
    const auto name = renamed.find(path);
    const auto source = sources.find(name == renamed.end() ? path : name->second);
    ASSERT_NE(source, sources.end()) << "stray file " << path << context;
    EXPECT_EQ(content, source->second) << path << " damaged" << context;
  }
  const std::pair<std::string, std::string> windowsFiles[] = {
      {"C:\\WINDOWS\\System32\\comp.dll", "D:\\System\\comp.dll"},
      {"C:\\WINDOWS\\Fonts\\a.ttf", "D:\\Fonts\\a.ttf"}};
  for (const auto& [target, source] : windowsFiles) {
    const auto installed = p.FileContent(target);
    if (installed) {
      EXPECT_EQ(*installed, *p.FileContent(source)) << target << context;
    }
  }
}

/// How a run with a fault of one operation kind may end: the messages it may stop with, and
/// whether it may still complete with the fault passed over, as the steps do for deletes,
/// link saves, libraries that do not load, the writing of INSTALL.CFG (its create and its
/// writes), the Start-menu group folder, and short reads, which the text reader reads on from.
struct AllowedEnds {
  Op op;
  bool mayComplete;
  std::vector<std::string> messages;  // regular expressions for the whole message
  /// A completed run may lack the system files and fonts: an enumeration of "System" or
  /// "Fonts" that fails ends like one of an empty folder.
  bool mayLackSystemFiles = false;
  /// A completed run may keep a staged program under its ".DAT" name: the finishing renames
  /// are not checked (a later run renames it).
  bool mayKeepStagedName = false;
};

const std::string kOpenError = R"(Cannot open file "[A-Z]:\\[^"]+"\. Access is denied)";
const std::string kCreateError = R"(Cannot create file "[A-Z]:\\[^"]+"\. [A-Z][^.]+)";
const std::string kRegistryError = R"(Failed to set data for '[^']+')";

const AllowedEnds kAllowedEnds[] = {
    {Op::FindFirst, true, {kOpenError}, true},
    {Op::Open, false, {kOpenError, "File access denied"}},
    {Op::Create, true, {kCreateError}},
    {Op::Read, true, {"Stream read error"}},
    {Op::Write, true, {"Stream write error"}},
    {Op::CreateDir, true, {"Sorry, System Can not Create Setup Directory", kCreateError}},
    {Op::Delete, true, {}},
    {Op::Rename, true, {kCreateError}, false, true},
    {Op::RegCreateKey, true, {kRegistryError}},
    {Op::RegOpenKey, true, {kRegistryError}},
    {Op::RegSetValue, true, {kRegistryError}},
    {Op::LinkSave, true, {}},
    {Op::LoadLibrary, true, {}},
};

/// A run that completed installed every product file, system file and font, except what the
/// fault's kind may leave out.
void ExpectEverythingInstalled(MemoryPlatform& p, const AllowedEnds& allowed,
                               const std::string& context) {
  const std::map<std::string, std::string> renamed = {
      {"Telmorquistane.DAT", "Telmorquistane.EXE"}, {"uninstall.DAT", "Uninstall.EXE"}};
  const std::string dir = "C:\\Telmorquistane\\";
  for (const auto& [path, content] : p.Tree("D:\\CAB")) {
    const auto name = renamed.find(path);
    const bool installed =
        name == renamed.end()
            ? p.Exists(dir + path)
            : p.Exists(dir + name->second) || (allowed.mayKeepStagedName && p.Exists(dir + path));
    EXPECT_TRUE(installed) << path << " not installed" << context;
  }
  if (allowed.mayLackSystemFiles) return;
  EXPECT_TRUE(p.Exists("C:\\WINDOWS\\System32\\comp.dll")) << context;
  EXPECT_TRUE(p.Exists("C:\\WINDOWS\\Fonts\\a.ttf")) << context;
}

TEST(FaultSweepTest, WholeInstallationEndsCompleteOrStoppedAndNeverDamaged) {
  int runs = 0;
  int stopped = 0;
  for (const AllowedEnds& allowed : kAllowedEnds) {
    const Op op = allowed.op;
    for (int n = 1;; ++n) {
      testing::MediumFixture medium;
      BuildMedium(medium);
      InitializeSession(medium.session);
      medium.platform.FailNth(op, n, kErrorAccessDenied);
      const int before = medium.platform.Calls(op);
      bool completed = false;
      std::string message;
      try {
        RunInstall(medium.session, "C:\\Telmorquistane", medium.observer);
        RunPostCopySteps(medium.session);
        completed = true;
      } catch (const InstallError& e) {
        ++stopped;
        message = e.what();
      } catch (const ProcessEnded&) {
        ++stopped;
        message = medium.platform.dialogs.empty() ? "" : medium.platform.dialogs.back().text;
      }

      ++runs;
      const std::string context = " (fault at call " + std::to_string(n) + " of operation " +
                                  std::to_string(static_cast<int>(op)) + ")";
      ExpectNothingDamaged(medium.platform, context);
      EXPECT_EQ(medium.platform.OpenStreams(), 0) << context;
      EXPECT_EQ(medium.platform.OpenSearches(), 0) << context;
      EXPECT_EQ(medium.platform.OpenKeys(), 0) << context;
      const bool reached = medium.platform.Calls(op) - before >= n;
      if (reached && completed) {
        EXPECT_TRUE(allowed.mayComplete) << "completed in spite of the fault" << context;
        ExpectEverythingInstalled(medium.platform, allowed, context);
      } else if (!completed) {
        bool known = false;
        for (const std::string& pattern : allowed.messages) {
          known = known || std::regex_match(message, std::regex(pattern));
        }
        EXPECT_TRUE(known) << "stopped with \"" << message << "\"" << context;
      }
      if (!reached) {
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
