// The removal with one platform operation failing at its Nth call, for every N until the
// removal no longer reaches the fault. Every run must finish or stop with the message for that
// failure, never take a file the installation did not put there, and keep the entry whenever
// it stopped; a second run without the fault must then finish the job.
#include <gtest/gtest.h>

#include <iostream>
#include <regex>
#include <string>
#include <vector>

#include "engine/Uninstall.h"
#include "engine/platform/ErrorCodes.h"
#include "tests/engine/UninstallTestSupport.h"

namespace installer {
namespace {

using Op = MemoryPlatform::Op;
using testing::InstalledMachine;
using testing::kInstallDir;

/// How a run with a fault of one kind may end.
struct AllowedEnds {
  Op op;
  bool mayComplete;
  std::vector<std::string> messages;  // regular expressions for the whole message
  /// A finished run may leave a shortcut: one whose target or folder could not be read is not
  /// known to be this installation's.
  bool mayKeepShortcuts = false;
};

const std::string kCannotRemove = R"(Cannot remove "C:\\[^"]+"\. Access is denied)";

const AllowedEnds kAllowedEnds[] = {
    {Op::FindFirst, true, {}},  // only the names of kept folders are looked up
    {Op::Open, false, {"File access denied"}},
    {Op::Read, true, {}},  // a short read: the list reader reads on
    {Op::Delete, false, {kCannotRemove}},
    {Op::RemoveDir, false, {kCannotRemove}},
    {Op::SetAttributes, false, {kCannotRemove}},
    {Op::RegOpenKey, true, {R"(Cannot read the shortcuts' folders\. Access is denied)"}, true},
    {Op::LinkRead, true, {}, true},
    {Op::RegDeleteKey, false, {R"(Cannot remove the uninstall entry\. Access is denied)"}},
};

/// User files, a link to a folder outside, and a read-only installed file.
void ChangeInstalledTree(InstalledMachine& m) {
  m.platform.AddFile(kInstallDir + "\\notes.txt", "mine");
  m.platform.AddFile(kInstallDir + "\\Docs\\mine.doc", "mine");
  m.platform.AddFile("C:\\Outside\\readme.txt", "theirs");
  m.platform.AddFolderLink(kInstallDir + "\\Docs\\Link", "C:\\Outside");
  m.platform.SetAttributes(kInstallDir + "\\readme.txt", kAttrReadOnly);
}

void ExpectInstalledGone(const InstalledMachine& m, bool shortcutsToo, const std::string& context) {
  for (const std::string& path : m.InstalledPaths()) {
    EXPECT_FALSE(m.platform.Exists(path)) << path << context;
  }
  if (shortcutsToo) {
    EXPECT_FALSE(m.platform.Exists(m.desktopLink)) << context;
    EXPECT_FALSE(m.platform.Exists(m.groupFolder)) << context;
  }
  EXPECT_FALSE(m.EntryExists()) << context;
  EXPECT_EQ(m.platform.FileContent(kInstallDir + "\\notes.txt"), "mine") << context;
  EXPECT_EQ(m.platform.FileContent(kInstallDir + "\\Docs\\mine.doc"), "mine") << context;
  EXPECT_EQ(m.platform.FileContent("C:\\Outside\\readme.txt"), "theirs") << context;
}

TEST(UninstallFaultSweepTest, EveryRunFinishesOrStopsAndASecondRunFinishes) {
  int runs = 0;
  int stopped = 0;
  for (const AllowedEnds& allowed : kAllowedEnds) {
    for (int n = 1;; ++n) {
      InstalledMachine m;
      ChangeInstalledTree(m);
      const auto before = m.platform.Tree("C:\\");
      const int calls = m.platform.Calls(allowed.op);
      m.platform.FailNth(allowed.op, n, kErrorAccessDenied);
      const RemovalResult first =
          RemoveInstallation(m.platform, m.product, kInstallDir, m.observer);
      ++runs;
      const std::string context = " (fault at call " + std::to_string(n) + " of operation " +
                                  std::to_string(static_cast<int>(allowed.op)) + ")";
      const bool reached = m.platform.Calls(allowed.op) - calls >= n;
      m.ExpectOnlyInstalledRemoved(before);
      EXPECT_EQ(m.platform.OpenStreams(), 0) << context;
      EXPECT_EQ(m.platform.OpenSearches(), 0) << context;
      EXPECT_EQ(m.platform.OpenKeys(), 0) << context;
      if (first.outcome == RemovalOutcome::Complete) {
        EXPECT_TRUE(!reached || allowed.mayComplete) << "finished in spite of the fault" << context;
        ExpectInstalledGone(m, !reached || !allowed.mayKeepShortcuts, context);
      } else {
        ++stopped;
        EXPECT_EQ(first.outcome, RemovalOutcome::Failed) << context;
        EXPECT_TRUE(m.EntryExists()) << "stopped without the entry" << context;
        bool known = false;
        for (const std::string& pattern : allowed.messages) {
          known = known || std::regex_match(first.message, std::regex(pattern));
        }
        EXPECT_TRUE(known) << "stopped with \"" << first.message << "\"" << context;
      }

      m.platform.ClearFaults();
      const RemovalResult second =
          RemoveInstallation(m.platform, m.product, kInstallDir, m.observer);
      EXPECT_EQ(second.outcome, RemovalOutcome::Complete) << second.message << context;
      ExpectInstalledGone(m, true, context);
      m.ExpectOnlyInstalledRemoved(before);
      if (!reached) break;
    }
  }
  std::cout << "removal fault sweep: " << runs << " runs, " << stopped << " stopped\n";
  EXPECT_GT(runs, 30);
  EXPECT_GT(stopped, 15);
}

}  // namespace
}  // namespace installer
