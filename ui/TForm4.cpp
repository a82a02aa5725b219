// The folder chooser page: geometry, the two linked lists, the disk figures, OK and cancel.
#include "ui/TForm4.h"

#include "ui/Application.h"
#include "ui/PageFlow.h"
#include "ui/Pages.h"
#include "ui/TForm3.h"
#include "ui/controls/ListLogic.h"
#include "ui/text/PersianTexts.h"
#include "ui/text/StringHelpers.h"

namespace installer {
namespace {

RECT Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// The figure labels size themselves to their text on the original page; here they get room
// up to the unit label to their right.
constexpr int kFigureWidth = 366 - 261;

}  // namespace

TForm4::TForm4() : SkinnedPage(819, 704, kChooserWindowText), picture_(Picture::FromResource(L"CHOOSER")) {
  // The page font is MS Sans Serif, a bitmap face without Arabic letters: Persian folder
  // names drew as boxes under Wine, and with the Arabic character set Wine's mapper picked a
  // monospaced face. Tahoma (the system's own successor to MS Sans Serif in dialogs) has the
  // Arabic letters at the same size.
  HFONT pageFont = PageFont(L"Tahoma", 11, ARABIC_CHARSET);
  HFONT figureFont = PageFont(L"Tahoma", 11, ARABIC_CHARSET);
  // Bottom to top; the two windowed lists lie above every graphic control.
  AddPicture(&picture_, Bounds(0, 0, 819, 704));
  ok_ = AddHotspot(Bounds(415, 584, 85, 27), [this] { okClick(); });
  cancel_ = AddHotspot(Bounds(311, 585, 82, 25), [this] { cancelClick(); });
  label2_ = AddLabel(Bounds(243, 255, 311, 19), pageFont, "", false);
  label1_ = AddLabel(Bounds(436, 539, 111, 13), figureFont, kCapacityCaption, true);
  SetLabelColour(label1_, kGrey);
  diskKol_ = AddLabel(Bounds(261, 540, kFigureWidth, 13), figureFont, "", false);
  SetLabelColour(diskKol_, kBlack);
  label6_ = AddLabel(Bounds(366, 542, 30, 13), figureFont, "KB", false);
  SetLabelColour(label6_, kRed);
  label7_ = AddLabel(Bounds(461, 557, 86, 13), figureFont, kFreeCaption, false);
  SetLabelColour(label7_, kGrey);
  diskFree_ = AddLabel(Bounds(261, 558, kFigureWidth, 13), figureFont, "", false);
  SetLabelColour(diskFree_, kBlack);
  label4_ = AddLabel(Bounds(366, 557, 30, 13), figureFont, "KB", false);
  SetLabelColour(label4_, kRed);

  DriveComboBoxArgs driveArgs;
  driveArgs.parent = Handle();
  driveArgs.font = PageFont(L"Tahoma", 13, ARABIC_CHARSET);
  DriveComboBox1 = std::make_unique<TDriveComboBox>(driveArgs);
  AddChild(DriveComboBox1->Hwnd());
  DirectoryListBoxArgs listArgs;
  listArgs.parent = Handle();
  listArgs.font = pageFont;
  listArgs.platform = &Application::CurrentPlatform();
  DirectoryListBox1 = std::make_unique<TDirectoryListBox>(listArgs);
  AddChild(DirectoryListBox1->Hwnd());

  DriveComboBox1->SetDirList(DirectoryListBox1.get());
  DirectoryListBox1->SetDirLabel(
      {pageFont, 311, [this](const std::string& text) { SetLabelText(label2_, text); }});
  DriveComboBox1->OnChange = [this] { DriveComboBox1Change(); };
  DriveComboBox1->OnKeyPress = [this](wchar_t key) { FormKeyPress(key); };
  DirectoryListBox1->OnKeyPress = [this](wchar_t key) { FormKeyPress(key); };
}

void TForm4::SetDirectory(const std::string& folder) { DirectoryListBox1->SetDirectory(folder); }

void TForm4::FormShow() { UpdateDiskInfo(); }

void TForm4::DriveComboBox1Change() { UpdateDiskInfo(); }

// The drive comes from the folder list's full path: the label may hold a shortened form
// ("...\Games") that names no drive.
void TForm4::UpdateDiskInfo() {
  const std::string& directory = DirectoryListBox1->Directory();
  const int drive = directory.empty() ? 0 : DiskDriveNumber(directory[0]);
  Platform& platform = Application::CurrentPlatform();
  const std::string freeText = DiskFigureText(platform.DiskFree(drive));
  const std::string totalText = DiskFigureText(platform.DiskSize(drive));
  SetLabelText(diskKol_, totalText);
  SetLabelText(diskFree_, freeText);
  RepaintNow();
}

// The target is built from the folder list's full path, not the label's possibly shortened
// text; the label gets its trailing backslash all the same.
void TForm4::okClick() {
  const std::string label = LabelText(label2_);
  if (RightStr(label, 1) != "\\") SetLabelText(label2_, label + "\\");
  Form3->SetPathText(ChosenTargetPath(DirectoryListBox1->Directory(), Form3->Session().ProductFolder));
  Close();
}

void TForm4::cancelClick() { Close(); }

void TForm4::FormKeyPress(wchar_t key) {
  if (key == 27) Close();
  if (key == 13) okClick();
}

void TForm4::FormClose() { Close(); }

}  // namespace installer
