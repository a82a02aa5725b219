#include "ui/TForm3.h"

#include "engine/InstallSteps.h"
#include "ui/Application.h"
#include "ui/PageFlow.h"
#include "ui/text/PersianTexts.h"
#include "ui/Pages.h"
#include "ui/TForm1.h"
#include "ui/TForm4.h"
#include "ui/TForm5.h"

namespace installer {
namespace {

RECT Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

}  // namespace

TForm3::TForm3()
    : SkinnedPage(819, 704, kInstallWindowText),
      installPicture_(Picture::FromResource(L"INSTALL")),
      finishNewPicture_(Picture::FromResource(L"FINISH6")),
      finishOldPicture_(Picture::FromResource(L"FINISH5")),
      session_(Application::CurrentPlatform()) {
  HFONT pageFont = PageFont(L"Tahoma", 13, ARABIC_CHARSET);
  HFONT smallFont = PageFont(L"Tahoma", 11, ARABIC_CHARSET);
  // Bottom to top, as the page draws them and hands out the mouse.
  imageToz_ = AddPicture(&finishNewPicture_, Bounds(292, 2, 105, 105), false);
  imageToz2_ = AddPicture(&finishOldPicture_, Bounds(179, 3, 77, 57), false);
  image1_ = AddPicture(&installPicture_, Bounds(0, 0, 819, 704));
  cancel_ = AddHotspot(Bounds(361, 537, 83, 29), [this] { cancelClick(); });
  next_ = AddHotspot(Bounds(466, 536, 82, 29), [this] { NextClick(); }, kNextHint);
  path_ = AddLabel(Bounds(295, 333, 306, 28), pageFont, "", false);
  change_ = AddHotspot(Bounds(305, 381, 128, 26), [this] { changeClick(); }, kChangeHint);
  GaugeArgs gauge;  // the defaults are the install page's gauge: 293, 496, 309 x 14
  gauge.parent = Handle();
  gauge_ = std::make_unique<TGauge>(gauge);
  AddChild(gauge_->Hwnd());
  group_ = AddLabel(Bounds(296, 449, 304, 29), pageFont, "", false);
  wait_ = AddLabel(Bounds(310, 481, 267, 20), smallFont, kWaitText, true, false);
  okExit_ = AddHotspot(Bounds(220, 595, 84, 30), [this] { OkExitClick(); }, "", false);
  fileName_ = AddLabel(Bounds(284, 513, 331, 20), smallFont, "", false);
}

void TForm3::FormCreate() {
  InitializeSession(session_);
  SetLabelText(path_, DefaultInstallPath(session_));
  SetLabelText(group_, session_.ProgramGroup);
}

void TForm3::changeClick() {
  // Once the installation has started the folder list must not move the current directory,
  // against which the copy resolves its source paths.
  if (installStarted_) return;
  std::string parent = ChooserParent(LabelText(path_), session_.ProductFolder);
  if (!session_.platform.DirectoryExists(parent)) parent = "C:\\";
  Form4->SetDirectory(parent);
  Form4->ShowModal();
}

void TForm3::NextClick() {
  if (installStarted_) return;
  installStarted_ = true;
  majorVersion_ = static_cast<uint8_t>(session_.platform.GetVersion() & 0xFF);
  try {
    RunInstall(session_, LabelText(path_), *this);
  } catch (...) {
    RepaintFileLabelIfBehind();
    throw;
  }
  RepaintFileLabelIfBehind();
  RunPostCopySteps(session_);

  SetLabelVisible(wait_, false);
  SetPictureVisible(image1_, false);
  SetLabelVisible(path_, false);
  gauge_->Hide();
  SetLabelVisible(group_, false);
  SetHotspotVisible(cancel_, false);
  SetLabelVisible(fileName_, false);
  const size_t finish = UsesNewFinishPicture(majorVersion_) ? imageToz_ : imageToz2_;
  RECT bounds = PictureAt(finish).bounds;
  SetPictureBounds(finish, Bounds(0, bounds.top, 819, 704));
  SetPictureVisible(finish, true);
  SetHotspotVisible(next_, false);
  SetHotspotVisible(okExit_, true);
}

void TForm3::cancelClick() {
  if (installStarted_) return;
  Form1->Show();
  Hide();
}

void TForm3::OkExitClick() { session_.platform.EndProcess(); }

void TForm3::FormKeyPress(wchar_t key) {
  if (key == 27) Form5->ShowModal();
  if (key == 13) {
    if (HotspotVisible(okExit_)) {
      session_.platform.EndProcess();
    } else {
      NextClick();
    }
  }
}

void TForm3::FormClose() { Form5->ShowModal(); }

// The file label names the last file begun once the copy has ended, however it ended.
void TForm3::RepaintFileLabelIfBehind() {
  if (fileLabelBehind_) InvalidateLabel(fileName_);
  fileLabelBehind_ = false;
}

// Once per file. Fetching messages from an empty queue is what costs under Wine (a server
// round trip, a flush of every window surface, a look at the display connection and a yield);
// asking whether anything waits is one round trip. Whatever waits is dispatched before the
// next file, as before.
void TForm3::ProcessMessages() {
  const uint32_t now = Now();
  if (!DispatchMessagesNow(GetQueueStatus(QS_ALLINPUT), now, lastDispatch_)) {
    if (Application::Terminated()) throw ProcessEnded{};
    return;
  }
  lastDispatch_ = now;
  Application::ProcessMessages();
}

void TForm3::InstallStarting() {
  SetHotspotVisible(next_, false);
  SetHotspotVisible(cancel_, false);
}

void TForm3::CopyStarting(int32_t maxValue) {
  copyStarted_ = Now();
  SetLabelVisible(wait_, true);
  gauge_->Show();
  gauge_->SetMaxValue(maxValue);
}

// The label is painted here and now, not at the next message handling: under Wine every paint
// of this see-through page is followed by a flush that works out the window's shape again from
// all of its pixels, and a label painted together with the gauge shares the gauge's flush. So
// the label also repaints whenever the gauge moves, which restarts its interval.
void TForm3::FileStarting(int32_t progress, const std::string& caption) {
  const int32_t previous = lastProgress_;
  lastProgress_ = progress;
  const bool gaugeMoved = gauge_->SetProgress(progress);
  const uint32_t now = Now();
  SetLabelTextQuietly(fileName_, caption);
  fileLabelBehind_ =
      !gaugeMoved && !RepaintFileLabelNow(previous, progress, now, fileLabelRepainted_, copyStarted_);
  if (!fileLabelBehind_) {
    InvalidateLabel(fileName_);
    UpdateWindow(Handle());
    fileLabelRepainted_ = now;
  }
}

}  // namespace installer
