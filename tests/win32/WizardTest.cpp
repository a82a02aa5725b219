// The wizard's pages driven in-process with real window messages: the flow between pages,
// a whole installation through the install page, the exit confirmation in the middle of a
// copy, and the error report of a run stopped by an error.
#include <gtest/gtest.h>

#include "engine/platform/win32/WindowsApi.h"
// SHDeleteKeyW removes a key with its subkeys on every Windows the builds start on (XP has no
// RegDeleteTreeW).
#include <shlwapi.h>

#include <string>
#include <vector>

#include "engine/Errors.h"
#include "engine/InstallSteps.h"
#include "ui/Application.h"
#include "ui/Pages.h"
#include "ui/TForm1.h"
#include "ui/TForm3.h"
#include "ui/TForm4.h"
#include "ui/TForm5.h"
#include "tests/win32/PageTestSupport.h"
#include "tests/win32/Win32TestSupport.h"

namespace installer {
namespace {

using testing::AnswerMessageBoxes;
using testing::Key;
using testing::PostClick;
using testing::PostKey;
using testing::Pump;
using testing::reports;
using testing::shownBoxes;
using testing::W;

/// The real platform with a recorded process end, and a hook on every file open so a test
/// can act in the middle of a copy.
class WizardPlatform : public testing::RecordingWin32Platform {
 public:
  int endProcessCalls = 0;
  std::function<void(const std::string&)> onOpen;
  [[noreturn]] void EndProcess() override {
    ++endProcessCalls;
    throw ProcessEnded{};
  }
  OpenResult OpenFile(const std::string& path, OpenMode mode) override {
    if (onOpen && mode == OpenMode::ReadExclusive) onOpen(path);
    return Win32Platform::OpenFile(path, mode);
  }
};

class WizardTest : public ::testing::Test {
 protected:
  WizardPlatform platform;
  std::string root;
  std::string medium;
  std::string startDir;
  UINT_PTR timer = 0;

  void SetUp() override {
    reports.clear();
    shownBoxes.clear();
    root = testing::FreshTestFolder();
    medium = root + "\\medium";
    CreateDirectoryW(W(medium).c_str(), nullptr);
    CreateDirectoryW(W(medium + "\\CAB").c_str(), nullptr);
    startDir = platform.GetCurrentDir();
    platform.SetCurrentDir(medium);  // the installer starts at the medium's root
    Application::Initialize(platform);
    Application::SetTitle(kApplicationTitle);
    CreateWizardPages();
    timer = SetTimer(nullptr, 0, 30, AnswerMessageBoxes);
    Pump();
  }
  void TearDown() override {
    KillTimer(nullptr, timer);
    DestroyWizardPages();
    platform.SetCurrentDir(startDir);
    testing::RemoveTree(W(root));
  }

  /// A press and release at a client point of the page, handled now or queued.
  void Click(SkinnedPage& page, int x, int y, bool post = false) {
    if (post) return PostClick(page, {x, y});
    SendMessageW(page.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(page.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  void AddSource(const std::string& relative, const std::string& content) {
    ASSERT_TRUE(testing::WriteBytes(medium + "\\CAB\\" + relative, content));
  }
  std::string Target() const { return root + "\\Target\\Telmorquistane"; }
};

// Hotspot centres in client coordinates.
constexpr POINT kWelcomeNext{515, 550};
constexpr POINT kInstallNext{507, 550};
constexpr POINT kInstallCancel{402, 551};
constexpr POINT kInstallChange{369, 394};
constexpr POINT kOkExit{262, 610};
constexpr POINT kExitOk{510, 406};
constexpr POINT kExitLabel1{405, 405};
constexpr POINT kChooserOk{457, 597};

TEST_F(WizardTest, StartsOnTheWelcomePageWithTheDefaultPath) {
  EXPECT_TRUE(Form1->Visible());
  EXPECT_FALSE(Form3->Visible());
  EXPECT_EQ(Application::MainPage(), Form1);
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(Form3->PathText(), WideToUtf8(windows).substr(0, 1) + ":\\Telmorquistane");
  EXPECT_EQ(Form3->Session().MediaRoot, medium);
}

TEST_F(WizardTest, WelcomeNextByClickAndByEnter) {
  Click(*Form1, kWelcomeNext.x, kWelcomeNext.y);
  EXPECT_TRUE(Form3->Visible());
  EXPECT_FALSE(Form1->Visible());
  Click(*Form3, kInstallCancel.x, kInstallCancel.y);
  EXPECT_TRUE(Form1->Visible());
  EXPECT_FALSE(Form3->Visible());
  Key(*Form1, 13);
  EXPECT_TRUE(Form3->Visible());
}

TEST_F(WizardTest, ClicksOutsideHotspotsAndReleasesElsewhereDoNothing) {
  Click(*Form1, 300, 300);  // on the picture
  Click(*Form1, 380, 545);  // where the invisible cancel hotspot lies
  SendMessageW(Form1->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kWelcomeNext.x, kWelcomeNext.y));
  SendMessageW(Form1->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(100, 100));  // released off it
  EXPECT_TRUE(Form1->Visible());
  EXPECT_FALSE(Form3->Visible());
}

TEST_F(WizardTest, ExitConfirmationDeclinedByEscLabel1AndItsOwnCloseRequest) {
  PostKey(*Form5, 27);
  Key(*Form1, 27);  // opens the confirmation; the queued Esc closes it
  EXPECT_FALSE(Form5->Visible());
  EXPECT_TRUE(Form1->Visible());
  EXPECT_TRUE(IsWindowEnabled(Form1->Handle()));
  // regression: the confirmation hid before the pages below were enabled again, so the
  // keyboard went to no window afterwards.
  EXPECT_EQ(GetActiveWindow(), Form1->Handle());
  EXPECT_EQ(GetFocus(), Form1->Handle());

  Click(*Form5, kExitLabel1.x, kExitLabel1.y, true);
  SendMessageW(Form1->Handle(), WM_CLOSE, 0, 0);  // Alt+F4 on the welcome page
  EXPECT_FALSE(Form5->Visible());
  EXPECT_TRUE(Form1->Visible());

  PostMessageW(Form5->Handle(), WM_CLOSE, 0, 0);
  SendMessageW(Application::Window(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the taskbar's close
  EXPECT_FALSE(Form5->Visible());
  EXPECT_EQ(platform.endProcessCalls, 0);
  EXPECT_FALSE(Application::Terminated());
}

TEST_F(WizardTest, ExitConfirmationOkAndEnterEndTheProcess) {
  Key(*Form1, 13);
  Click(*Form5, kExitOk.x, kExitOk.y, true);
  SendMessageW(Application::Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(platform.endProcessCalls, 1);
  EXPECT_TRUE(Application::Terminated());
}

TEST_F(WizardTest, ChangeOpensTheChooserOnTheParentAndOkWritesTheTarget) {
  Key(*Form1, 13);
  CreateDirectoryW(W(root + "\\Games").c_str(), nullptr);
  Form3->SetPathText(root + "\\Games\\Telmorquistane");
  Click(*Form4, kChooserOk.x, kChooserOk.y, true);
  Click(*Form3, kInstallChange.x, kInstallChange.y);
  EXPECT_EQ(Form4->Directory(), root + "\\Games");
  EXPECT_EQ(Form3->PathText(), root + "\\Games\\Telmorquistane");

  // A parent that does not exist opens the chooser on C:\; Esc leaves the path alone.
  Form3->SetPathText("X:\\Gone\\Telmorquistane");
  PostKey(*Form4, 27);
  Click(*Form3, kInstallChange.x, kInstallChange.y);
  EXPECT_EQ(Form4->Directory(), "C:\\");
  EXPECT_EQ(Form3->PathText(), "X:\\Gone\\Telmorquistane");
}

TEST_F(WizardTest, EnterEnterInstallsAndTheFinishPageEndsWithEnter) {
  AddSource("readme.txt", "read me");
  CreateDirectoryW(W(medium + "\\CAB\\Docs").c_str(), nullptr);
  AddSource("Docs\\guide.txt", std::string(70000, 'g'));
  Key(*Form1, 13);
  Form3->SetPathText(Target());
  Key(*Form3, 13);
  ASSERT_TRUE(Form3->Finished()) << (reports.empty() ? "" : reports[0]);
  EXPECT_EQ(testing::ReadBytes(Target() + "\\Docs\\guide.txt"), std::string(70000, 'g'));
  EXPECT_FALSE(Form3->HotspotVisible(Form3->NextHotspot()));
  EXPECT_FALSE(Form3->Gauge().Visible());
  EXPECT_EQ(Form3->Gauge().PercentDone(), 100);
  // Enter again does not restart anything; the finish page's Enter ends the process.
  Key(*Form3, 13);
  EXPECT_EQ(platform.endProcessCalls, 1);
  SHDeleteKeyW(HKEY_LOCAL_MACHINE,
                 W(std::string(kUninstallKeyPrefix) + "Telmorquistane").c_str());
}

TEST_F(WizardTest, ANewFileNameRepaintsTheFileLabelAlone) {
  // regression: every file's name repainted the whole page, which took longer than copying a
  // small file (tools/bench).
  Key(*Form1, 13);
  Pump();
  RECT dirty{};
  ASSERT_FALSE(GetUpdateRect(Form3->Handle(), &dirty, FALSE));
  const uint64_t paints = Form3->paintCount;
  Form3->FileStarting(0, "File: CAB\\readme.txt");
  // Painted before the file's copy begins, nothing left for later.
  EXPECT_EQ(Form3->paintCount, paints + 1);
  EXPECT_FALSE(GetUpdateRect(Form3->Handle(), &dirty, FALSE));
  const RECT& area = Form3->lastPaintArea;
  EXPECT_EQ(area.left, 284);
  EXPECT_EQ(area.top, 513);
  EXPECT_EQ(area.right, 284 + 331);
  EXPECT_EQ(area.bottom, 513 + 20);
}

uint32_t fakeClock = 0;
uint32_t FakeClock() { return fakeClock; }

TEST_F(WizardTest, FileLabelRepaintsArePacedButItsTextFollowsEveryFile) {
  Key(*Form1, 13);
  Pump();
  Form3->SetClockForTesting(FakeClock);
  fakeClock = 1000;
  Form3->CopyStarting(100000);  // the copy's pace is measured from here
  Pump();
  RECT dirty{};
  const struct {
    uint32_t clock;
    int32_t progress;
    const char* caption;
    bool repaint;
    bool gaugeMoves;
  } files[] = {
      {1000, 4, "File: CAB\\a.bin", true, false},     // the first file
      {1005, 8, "File: CAB\\b.bin", false, false},    // 5 ms later, small
      {1099, 12, "File: CAB\\c.bin", false, false},   // 99 ms after the last repaint
      {1100, 16, "File: CAB\\d.bin", true, false},    // 100 ms
      {1101, 900, "File: CAB\\big.bin", true, false},  // long at this pace: its name shows at once
      {1102, 904, "File: CAB\\e.bin", false, false},
      {1103, 1004, "File: CAB\\f.bin", true, true},    // the gauge moves: the label goes with it
      {1104, 1008, "File: CAB\\g.bin", false, false},  // and its interval starts again
      {1202, 1012, "File: CAB\\h.bin", false, false},  // 99 ms after f.bin
      {1203, 1016, "File: CAB\\i.bin", true, false},
  };
  for (const auto& f : files) {
    fakeClock = f.clock;
    const uint64_t pagePaints = Form3->paintCount;
    const uint64_t gaugePaints = Form3->Gauge().repaintCount;
    Form3->FileStarting(f.progress, f.caption);
    EXPECT_EQ(Form3->FileNameText(), f.caption);
    // A repaint is done before the file's copy; nothing waits for the next message handling.
    EXPECT_EQ(Form3->paintCount != pagePaints, f.repaint) << f.caption;
    EXPECT_EQ(Form3->Gauge().repaintCount != gaugePaints, f.gaugeMoves) << f.caption;
    EXPECT_EQ(GetUpdateRect(Form3->Handle(), &dirty, FALSE) != FALSE, false) << f.caption;
  }
  Form3->SetClockForTesting(nullptr);
}

TEST_F(WizardTest, RunStoppedByAnErrorShowsTheLastFileBegun) {
  // Small files within one repaint interval, then a step after the copy that fails: the
  // label's newest text, not a stale one, must be painted under the error report.
  for (int i = 1; i <= 5; ++i) AddSource("small" + std::to_string(i) + ".txt", "x");
  CreateDirectoryW(W(medium + "\\System").c_str(), nullptr);
  ASSERT_TRUE(testing::WriteBytes(medium + "\\System\\SYSTEM.TXT", "a.dll\r\n"));
  testing::HeldOpenFile holder(medium + "\\System\\SYSTEM.TXT");
  ASSERT_TRUE(holder.held());
  Form3->SetClockForTesting(FakeClock);
  fakeClock = 5000;
  Key(*Form1, 13);
  Pump();
  EXPECT_THROW(Form3->NextClick(), std::exception);
  Form3->SetClockForTesting(nullptr);
  RECT dirty{};
  ASSERT_TRUE(GetUpdateRect(Form3->Handle(), &dirty, FALSE));
  EXPECT_EQ(dirty.top, 513);
  EXPECT_EQ(Form3->FileNameText(), "File: CAB\\" + Form3->Session().FileList.back());
}

TEST_F(WizardTest, InputDuringTheCopyIsIgnoredAndEscOkEndsBeforeTheNextFile) {
  for (int i = 1; i <= 5; ++i) AddSource("file" + std::to_string(i) + ".txt", "content");
  int opened = 0;
  platform.onOpen = [&](const std::string&) {
    if (++opened != 2) return;
    // In the middle of the copy: Enter, change and a click where Next was do nothing;
    // then Esc opens the confirmation and its Ok ends the process.
    PostKey(*Form3, 13);
    Click(*Form3, kInstallChange.x, kInstallChange.y, true);
    Click(*Form3, kInstallNext.x, kInstallNext.y, true);
    PostKey(*Form3, 27);
    Click(*Form5, kExitOk.x, kExitOk.y, true);
  };
  Key(*Form1, 13);
  Form3->SetPathText(Target());
  Key(*Form3, 13);
  EXPECT_EQ(platform.endProcessCalls, 1);
  EXPECT_EQ(opened, 2);  // no file after the one being copied when Esc came
  EXPECT_FALSE(Form4->Visible());
  EXPECT_FALSE(Form3->Finished());
  int copied = 0;
  for (int i = 1; i <= 5; ++i) {
    const std::string content =
        testing::ReadBytes(Target() + "\\file" + std::to_string(i) + ".txt");
    if (content != "<missing>") {
      EXPECT_EQ(content, "content");
      ++copied;
    }
  }
  EXPECT_EQ(copied, 2);
}

TEST_F(WizardTest, ErrorStopsTheRunWithTheReportAndOnlyTheConfirmationLeadsOn) {
  AddSource("a.txt", "a");
  AddSource("b.txt", "b");
  HANDLE holder = CreateFileW(W(medium + "\\CAB\\b.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  Key(*Form1, 13);
  Form3->SetPathText(Target());
  Key(*Form3, 13);
  CloseHandle(holder);
  ASSERT_EQ(reports.size(), 1u);
  const std::string expected = std::string(kApplicationTitle) + "|Cannot open file \"" + medium +
                               "\\CAB\\b.txt\". ";
  EXPECT_EQ(reports[0].rfind(expected, 0), 0u) << reports[0];
  EXPECT_EQ(reports[0].back(), '.');  // the report appends the full stop
  EXPECT_EQ(Form3->FileNameText(), "File: CAB\\b.txt");
  EXPECT_TRUE(Form3->Gauge().Visible());
  Key(*Form3, 13);  // nothing
  EXPECT_FALSE(Form3->Finished());
  EXPECT_EQ(platform.endProcessCalls, 0);
  PostKey(*Form5, 13);
  Key(*Form3, 27);
  EXPECT_EQ(platform.endProcessCalls, 1);
}

// regression: every report holding a byte of 0x80 or more read right to left, so an English
// message naming a Persian file had its parts reordered and its full stop at the far left.
// A report reads right to left only when its own language is Persian; the folders of a path
// in a left-to-right report keep their order (a direction mark follows each backslash).
TEST_F(WizardTest, ErrorReportReadsInTheDirectionOfItsLanguage) {
  const std::string persianPath = "D:\\CAB\\مستندات\\راهنمای کاربر.txt";
  const struct {
    std::string message;
    bool rightToLeft;
    std::string shown;  // as drawn, direction marks included
  } cases[] = {
      {"Cannot open file \"" + persianPath + "\". File not found", false,
       "Cannot open file \"D:\\\u200ECAB\\\u200Eمستندات\\\u200Eراهنمای کاربر.txt\". File not found."},
      {kNotEnoughSpaceMessage, true, std::string(kNotEnoughSpaceMessage) + "."},
      {"Stream read error", false, "Stream read error."},
  };
  for (const auto& c : cases) {
    shownBoxes.clear();
    Application::ShowException(InstallError(c.message));
    ASSERT_EQ(shownBoxes.size(), 1u) << c.message;
    EXPECT_EQ(shownBoxes[0], c.shown);
    const UINT flags = Application::ErrorReportFlags(Application::ErrorReportText(c.message));
    EXPECT_EQ((flags & MB_RTLREADING) != 0, c.rightToLeft) << c.message;
    EXPECT_EQ((flags & MB_RIGHT) != 0, c.rightToLeft) << c.message;
    EXPECT_EQ(flags & ~UINT{MB_RTLREADING | MB_RIGHT}, UINT{MB_OK | MB_ICONERROR});
  }
}

TEST(PageFlowWin32Test, ErrorReportTextAppendsAFullStopByCharacterOrder) {
  EXPECT_EQ(Application::ErrorReportText("Stream read error"), "Stream read error.");
  EXPECT_EQ(Application::ErrorReportText("Done."), "Done.");
  EXPECT_EQ(Application::ErrorReportText("Wow!"), "Wow!");
  EXPECT_EQ(Application::ErrorReportText("(x)"), "(x)");
  EXPECT_EQ(Application::ErrorReportText("م"), "م.");
  EXPECT_EQ(Application::ErrorReportText(""), "");
}

}  // namespace
}  // namespace installer
