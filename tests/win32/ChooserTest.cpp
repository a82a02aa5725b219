// The folder chooser on the prefix's real drives, driven in-process with real window
// messages: opening from the install page, OK, cancel and Esc, Enter in either list, moving
// through drives and folders, and a drive that cannot be entered.
#include <gtest/gtest.h>

#include "engine/platform/win32/WindowsApi.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/Errors.h"
#include "ui/Application.h"
#include "ui/Pages.h"
#include "ui/TForm1.h"
#include "ui/TForm3.h"
#include "ui/TForm4.h"
#include "ui/controls/ListLogic.h"
#include "tests/win32/PageTestSupport.h"
#include "tests/win32/Win32TestSupport.h"

namespace installer {
namespace {

using testing::AnswerMessageBoxes;
using testing::Key;
using testing::PostClick;
using testing::Pump;
using testing::reports;
using testing::W;

std::string CurrentDirectory() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, folder);
  return WideToUtf8(std::wstring(folder, length));
}

class ChooserTest : public ::testing::Test {
 protected:
  testing::RecordingWin32Platform platform;
  std::string root;
  std::string startDir;
  UINT_PTR timer = 0;
  std::string changes;  // one mark per change report of the drive box

  void SetUp() override {
    reports.clear();
    startDir = CurrentDirectory();
    root = testing::FreshTestFolder();
    CreateDirectoryW(W(root + "\\medium").c_str(), nullptr);
    platform.SetCurrentDir(root + "\\medium");
    Application::Initialize(platform);
    Application::SetTitle(kApplicationTitle);
    CreateWizardPages();
    timer = SetTimer(nullptr, 0, 30, AnswerMessageBoxes);
    Form4->DriveBox().OnChange = [this] {
      changes += Form4->DriveBox().Drive();
      Form4->DriveComboBox1Change();
    };
    Pump();
    Key(*Form1, 13);  // on to the install page
  }
  void TearDown() override {
    KillTimer(nullptr, timer);
    DestroyWizardPages();
    // The folder list moved the process's current directory; later tests expect it back.
    SetCurrentDirectoryW(W(startDir).c_str());
    testing::RemoveTree(W(root));
  }

  /// Queues a user's pick in the drive box (a click on the item in the open list), as the
  /// combo box reports it to its parent: the list opens, the item is selected, the pick ends it.
  void PostDrivePick(char letter) {
    const int index = FindDriveItem(Form4->DriveBox().Items(), letter);
    ASSERT_GE(index, 0) << letter;
    HWND box = Form4->DriveBox().Hwnd();
    const auto notify = [&](int code) {
      PostMessageW(Form4->Handle(), WM_COMMAND, MAKEWPARAM(0, code), reinterpret_cast<LPARAM>(box));
    };
    notify(CBN_DROPDOWN);
    PostMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    notify(CBN_SELCHANGE);
    notify(CBN_SELENDOK);
    notify(CBN_CLOSEUP);
  }
  /// Queues a double click on the folder list's item `index`.
  void PostFolderOpen(int index) {
    HWND list = Form4->FolderList().Hwnd();
    PostMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageW(Form4->Handle(), WM_COMMAND, MAKEWPARAM(0, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list));
  }
  void ClickChange() {
    SendMessageW(Form3->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(369, 394));
    SendMessageW(Form3->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(369, 394));
  }
  std::vector<std::string> ItemTexts() {
    std::vector<std::string> texts;
    for (const FolderItem& item : Form4->FolderList().Items()) texts.push_back(item.text);
    return texts;
  }
  int ItemIndex(const std::string& text) {
    const auto texts = ItemTexts();
    for (size_t i = 0; i < texts.size(); ++i) {
      if (texts[i] == text) return static_cast<int>(i);
    }
    return -1;
  }
};

constexpr POINT kChooserOk{457, 597};
constexpr POINT kChooserCancel{352, 597};

TEST_F(ChooserTest, DriveBoxListsThePrefixDrivesInLetterOrder) {
  const auto& items = Form4->DriveBox().Items();
  ASSERT_GE(items.size(), 3u);
  for (size_t i = 1; i < items.size(); ++i) EXPECT_LT(items[i - 1].text, items[i].text);
  const int c = FindDriveItem(items, 'C');
  const int d = FindDriveItem(items, 'D');
  ASSERT_GE(c, 0);
  ASSERT_GE(d, 0);
  EXPECT_GE(FindDriveItem(items, 'Z'), 0);
  EXPECT_EQ(items[c].glyph, DriveGlyph::Hard);
  // Fixed drives show their upper-case volume label in brackets.
  EXPECT_EQ(items[c].text.rfind("C: [", 0), 0u) << items[c].text;
  EXPECT_EQ(items[c].text.back(), ']');
  EXPECT_EQ(items[c].text, UpperCaseAscii(items[c].text));
  EXPECT_EQ(items[d].glyph, DriveGlyph::Hard);
  // regression: a label with a letter code page 1256 lacks showed as "?"; the fixture labels D:
  // with the Persian yeh.
  EXPECT_EQ(items[d].text, "D: [دیسک مهدی]");
  // Started on the current directory of the page's creation.
  EXPECT_EQ(Form4->Directory(), root + "\\medium");
  EXPECT_EQ(Form4->DriveBox().Drive(), root[0]);
  EXPECT_EQ(Form4->DriveBox().SelectedIndex(), FindDriveItem(items, root[0]));
}

TEST_F(ChooserTest, ChangeOpensOnTheDefaultParentAndOkWritesItWithOneBackslash) {
  Form3->SetPathText("C:\\Telmorquistane");
  PostClick(*Form4, kChooserOk);
  ClickChange();
  EXPECT_EQ(Form4->Directory(), "C:\\");
  EXPECT_EQ(CurrentDirectory(), "C:\\");
  EXPECT_EQ(Form4->DirectoryLabelText(), "C:\\");
  EXPECT_EQ(ItemTexts().front(), "C:\\");
  EXPECT_EQ(Form4->FolderList().Items().front().glyph, FolderGlyph::Current);
  EXPECT_EQ(Form4->FolderList().SelectedIndex(), 0);
  EXPECT_GE(ItemIndex("windows"), 1) << "C:\\windows is a subfolder of the root";
  EXPECT_EQ(Form3->PathText(), "C:\\Telmorquistane");
  EXPECT_FALSE(Form4->Visible());
  // The figures are those of drive C.
  EXPECT_EQ(Form4->DiskTotalText(), DiskFigureText(platform.DiskSize(3)));
  // Free space moves while other programs write, so it only has to be close to a fresh reading.
  const auto kilobytes = [](std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ','), text.end());
    return std::stoll(text);
  };
  EXPECT_NEAR(kilobytes(Form4->DiskFreeText()), platform.DiskFree(3) / 1024, 256 * 1024);
  EXPECT_NE(Form4->DiskTotalText(), "0");
}

TEST_F(ChooserTest, DeeperFolderShowsAncestorsAndSortedVisibleSubfolders) {
  const std::string games = root + "\\Games";
  const std::string persian = "بازي";  // with the Arabic yeh of code page 1256
  const std::string persianYeh = "بازی";  // with the Persian yeh a Persian keyboard types
  ASSERT_TRUE(CreateDirectoryW(W(games).c_str(), nullptr));
  for (const std::string& name : {std::string("zeta"), std::string("Alpha"), persian, persianYeh,
                                  std::string("beta"), std::string(".hidden")}) {
    ASSERT_TRUE(CreateDirectoryW(W(games + "\\" + name).c_str(), nullptr)) << name;
  }
  CreateDirectoryW(W(games + "\\System").c_str(), nullptr);
  SetFileAttributesW(W(games + "\\System").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM);
  testing::WriteBytes(games + "\\file.txt", "not a folder");

  Form3->SetPathText(games + "\\Telmorquistane");
  PostClick(*Form4, kChooserOk);
  ClickChange();
  EXPECT_EQ(Form4->Directory(), games);
  EXPECT_EQ(Form3->PathText(), games + "\\Telmorquistane");
  const auto texts = ItemTexts();
  ASSERT_GE(texts.size(), 6u);
  const size_t open = OpenFolderIndex(Form4->FolderList().Items());
  EXPECT_EQ(texts[open], "Games");
  EXPECT_EQ(Form4->FolderList().SelectedIndex(), static_cast<int>(open));
  const std::vector<std::string> subfolders(texts.begin() + static_cast<long>(open) + 1, texts.end());
  const std::vector<std::string> expected = {"Alpha", "beta", "zeta", persian, persianYeh};
  EXPECT_EQ(subfolders, expected);
  EXPECT_EQ(texts[0], root.substr(0, 2) + "\\");

  // Double click on a subfolder, then on the root item.
  PostFolderOpen(static_cast<int>(open) + 1);
  Pump();
  EXPECT_EQ(Form4->Directory(), games + "\\Alpha");
  EXPECT_EQ(CurrentDirectory(), games + "\\Alpha");
  PostFolderOpen(0);
  Pump();
  EXPECT_EQ(Form4->Directory(), root.substr(0, 2) + "\\");
}

TEST_F(ChooserTest, VanishedParentOpensOnDriveC) {
  Form3->SetPathText(root + "\\Gone\\Deeper\\Telmorquistane");
  PostMessageW(Form4->FolderList().Hwnd(), WM_CHAR, 27, 0);
  ClickChange();
  EXPECT_EQ(Form4->Directory(), "C:\\");
  EXPECT_EQ(Form3->PathText(), root + "\\Gone\\Deeper\\Telmorquistane");
  EXPECT_TRUE(reports.empty());
}

TEST_F(ChooserTest, EscAndCancelLeaveThePathAfterMovingThroughDrives) {
  CreateDirectoryW(W(root + "\\Games").c_str(), nullptr);
  const std::string path = root + "\\Games\\Telmorquistane";
  Form3->SetPathText(path);
  PostDrivePick('D');
  PostDrivePick('C');
  PostMessageW(Form4->DriveBox().Hwnd(), WM_CHAR, 27, 0);
  ClickChange();
  EXPECT_EQ(Form3->PathText(), path);
  EXPECT_EQ(Form4->DriveBox().Drive(), 'C');
  EXPECT_EQ(Form4->Directory()[0], 'C');
  EXPECT_FALSE(Form4->Visible());

  PostDrivePick('D');
  PostClick(*Form4, kChooserCancel);
  ClickChange();
  EXPECT_EQ(Form3->PathText(), path);
  EXPECT_EQ(Form4->Directory(), "D:\\");
  EXPECT_EQ(CurrentDirectory(), "D:\\");
  EXPECT_EQ(Form4->DirectoryLabelText(), "D:\\");
  // A pick reports a change when the folder list has already moved, and once more.
  EXPECT_EQ(changes.substr(changes.size() - 2), "DD");
  EXPECT_EQ(Form4->DiskTotalText(), DiskFigureText(platform.DiskSize(4)));
  EXPECT_TRUE(reports.empty()) << reports[0];
}

TEST_F(ChooserTest, EnterInEitherListAcceptsTheOpenFolder) {
  const std::string games = root + "\\Games";
  CreateDirectoryW(W(games).c_str(), nullptr);
  CreateDirectoryW(W(games + "\\Sub").c_str(), nullptr);
  // A highlighted subfolder is not the open folder: Enter takes the open one.
  Form4->SetDirectory(games);
  PostMessageW(Form4->FolderList().Hwnd(), LB_SETCURSEL, static_cast<WPARAM>(ItemIndex("Sub")), 0);
  PostMessageW(Form4->FolderList().Hwnd(), WM_CHAR, 13, 0);
  Form3->SetPathText(games + "\\Telmorquistane");
  ClickChange();
  EXPECT_EQ(Form3->PathText(), games + "\\Telmorquistane");
  EXPECT_EQ(Form4->Directory(), games);
  EXPECT_FALSE(Form4->Visible());

  PostDrivePick('D');
  PostMessageW(Form4->DriveBox().Hwnd(), WM_KEYDOWN, VK_RETURN, 0);  // swallowed for the page
  PostMessageW(Form4->DriveBox().Hwnd(), WM_CHAR, 13, 0);
  ClickChange();
  EXPECT_EQ(Form3->PathText(), "D:\\Telmorquistane");
}

TEST_F(ChooserTest, TypingMovesTheHighlightWithoutOpening) {
  const std::string games = root + "\\Games";
  CreateDirectoryW(W(games).c_str(), nullptr);
  for (const char* name : {"Alpha", "Beta", "Bravo"}) CreateDirectoryW(W(games + "\\" + name).c_str(), nullptr);
  Form4->SetDirectory(games);
  HWND list = Form4->FolderList().Hwnd();
  SendMessageW(list, WM_CHAR, 'b', 0);
  SendMessageW(list, WM_CHAR, 'r', 0);
  EXPECT_EQ(Form4->FolderList().SelectedIndex(), ItemIndex("Bravo"));
  SendMessageW(list, WM_CHAR, 8, 0);  // "b": Bravo still begins with it
  EXPECT_EQ(Form4->FolderList().SelectedIndex(), ItemIndex("Bravo"));
  Sleep(550);
  SendMessageW(list, WM_CHAR, 'a', 0);  // after the pause a fresh prefix
  EXPECT_EQ(Form4->FolderList().SelectedIndex(), ItemIndex("Alpha"));
  EXPECT_EQ(Form4->Directory(), games);
}

TEST_F(ChooserTest, DriveThatCannotBeEnteredReportsAndKeepsTheFolder) {
  const std::string games = root + "\\Games";
  CreateDirectoryW(W(games).c_str(), nullptr);
  Form4->SetDirectory(games);
  const std::string total = Form4->DiskTotalText();
  changes.clear();
  // Drive N: of the test prefix leads to a missing folder, like a drive without a disc.
  const std::string label = Form4->DirectoryLabelText();
  // The error report's box runs its own message loop, in which the timer answers it.
  Application::Guard([] { Form4->DriveBox().SetDrive('N'); });
  ASSERT_EQ(reports.size(), 1u);
  const std::string text = reports[0].substr(reports[0].find('|') + 1);
  const bool known = text.rfind("I/O error ", 0) == 0 || text == "File not found." ||
                     text == "Invalid filename." || text == "File access denied.";
  EXPECT_TRUE(known) << text;
  EXPECT_EQ(Form4->DriveBox().Drive(), 'N');
  EXPECT_EQ(Form4->Directory(), games);
  EXPECT_EQ(CurrentDirectory(), games);
  EXPECT_EQ(Form4->DirectoryLabelText(), label);
  EXPECT_EQ(Form4->DiskTotalText(), total);
  EXPECT_EQ(changes, "");

  // A folder that vanished raises the error from SetDirectory, which changeClick lets through.
  EXPECT_THROW(Form4->SetDirectory(root + "\\Gone"), InstallError);
  EXPECT_EQ(Form4->Directory(), games);
}

// regression: the directory label holds a shortened path that names no folder; OK and the
// figures must use the open folder's full path instead.
TEST_F(ChooserTest, DeepFolderShortensTheLabelButOkWritesTheFullPath) {
  std::string deep = root;
  for (const char* name : {"Very Long Folder Name One", "Very Long Folder Name Two",
                           "Very Long Folder Name Three", "Games"}) {
    deep += std::string("\\") + name;
    ASSERT_TRUE(CreateDirectoryW(W(deep).c_str(), nullptr));
  }
  Form3->SetPathText(deep + "\\Telmorquistane");
  PostClick(*Form4, kChooserOk);
  ClickChange();
  EXPECT_EQ(Form3->PathText(), deep + "\\Telmorquistane");
  const std::string label = Form4->DirectoryLabelText();
  EXPECT_NE(label.find("...\\"), std::string::npos) << label;
  EXPECT_LT(label.size(), deep.size());
  EXPECT_EQ(label.substr(label.size() - 6), "Games\\");  // okClick's trailing backslash
  EXPECT_EQ(Form4->DiskTotalText(), DiskFigureText(platform.DiskSize(root[0] - 64)));
}

}  // namespace
}  // namespace installer

namespace installer {
namespace {

// What counts as a pick in the drive box, with the real combo box's own handling of keys: each
// row starts on C: with the list closed or open, sends its input and checks where the drive
// box, the folder list and the process's current directory are, and how many change reports
// came (a pick raises two: the one of the drive's change and one more; a pick of the drive
// already chosen only the latter).
// regression: every selection change counted as a pick, so moving through the open drop-down
// entered each drive passed and showed "I/O error 21." at an empty CD or floppy drive.
TEST_F(ChooserTest, OnlyARealPickEntersADrive) {
  using Step = std::function<void(HWND)>;
  const auto key = [](UINT vk) { return [vk](HWND box) { SendMessageW(box, WM_KEYDOWN, vk, 0); }; };
  const auto open = [](HWND box) { SendMessageW(box, CB_SHOWDROPDOWN, TRUE, 0); };
  // The list closed without a pick (as by a click elsewhere).
  const auto close = [](HWND box) { SendMessageW(box, CB_SHOWDROPDOWN, FALSE, 0); };
  // The open list's item of `letter`, clicked with the mouse.
  const auto clickItem = [](char letter) {
    return [letter](HWND box) {
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      ASSERT_TRUE(GetComboBoxInfo(box, &info));
      const int index = FindDriveItem(Form4->DriveBox().Items(), letter);
      RECT item{};
      SendMessageW(info.hwndList, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
      const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
      SendMessageW(info.hwndList, WM_MOUSEMOVE, 0, at);
      SendMessageW(info.hwndList, WM_LBUTTONDOWN, MK_LBUTTON, at);
      SendMessageW(info.hwndList, WM_LBUTTONUP, 0, at);
    };
  };
  const auto items = Form4->DriveBox().Items();
  const int c = FindDriveItem(items, 'C');
  ASSERT_GE(c, 0);
  ASSERT_LT(static_cast<size_t>(c + 1), items.size()) << "a drive after C: is needed";
  const char next = items[static_cast<size_t>(c + 1)].text[0];  // D: in the test prefix
  struct Case {
    const char* what;
    std::vector<Step> steps;
    char drive;       // the drive box's Drive afterwards
    int changes;      // change reports
  };
  const Case cases[] = {
      {"arrow down, list closed", {key(VK_DOWN)}, next, 2},
      {"arrow down twice in the open list, closed without a pick",
       {open, key(VK_DOWN), key(VK_DOWN), close}, 'C', 0},
      {"arrow down in the open list, then Enter", {open, key(VK_DOWN), key(VK_RETURN)}, next, 2},
      {"arrow down in the open list, then Esc", {open, key(VK_DOWN), key(VK_ESCAPE)}, 'C', 0},
      {"Enter, list closed (the drive already chosen)", {key(VK_RETURN)}, 'C', 1},
      {"click on the next item of the open list", {open, clickItem(next)}, next, 2},
      {"click on the chosen item of the open list", {open, clickItem('C')}, 'C', 1},
  };
  // Through every drive of the open list (an empty CD drive among them would show its error
  // at once if passing it entered it), then closed.
  std::vector<Step> throughAll{open};
  for (size_t i = 0; i < items.size(); ++i) throughAll.push_back(key(VK_DOWN));
  throughAll.push_back(close);
  std::vector<Case> all(std::begin(cases), std::end(cases));
  all.push_back({"through the whole open list, closed without a pick", throughAll, 'C', 0});
  for (const Case& row : all) {
    Form4->SetDirectory("C:\\");
    Form4->DriveBox().SetDrive('C');
    ASSERT_EQ(Form4->DriveBox().Drive(), 'C');
    changes.clear();
    HWND box = Form4->DriveBox().Hwnd();
    for (const Step& step : row.steps) step(box);
    Pump();
    EXPECT_EQ(Form4->DriveBox().Drive(), row.drive) << row.what;
    EXPECT_EQ(static_cast<int>(changes.size()), row.changes) << row.what << ": " << changes;
    EXPECT_EQ(CurrentDirectory()[0], row.drive) << row.what;
    EXPECT_EQ(Form4->Directory()[0], row.drive) << row.what;
    EXPECT_EQ(Form4->DriveBox().SelectedIndex(), FindDriveItem(items, row.drive)) << row.what;
    EXPECT_FALSE(SendMessageW(box, CB_GETDROPPEDSTATE, 0, 0)) << row.what << ": the list stayed open";
    EXPECT_TRUE(reports.empty()) << row.what << ": " << reports[0];
    if (SendMessageW(box, CB_GETDROPPEDSTATE, 0, 0)) SendMessageW(box, CB_SHOWDROPDOWN, FALSE, 0);
    reports.clear();
  }
}

}  // namespace
}  // namespace installer
