#include "ui/uninstall/TRemovePage.h"

#include <algorithm>

#include "engine/platform/win32/WideText.h"
#include "ui/Application.h"
#include "ui/PageFlow.h"
#include "ui/text/StringHelpers.h"

namespace installer {
namespace {

RECT Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

// The last page's white box holds this many lines of the report.
constexpr int kReportLines = 12;
constexpr int kReportLineHeight = 20;
constexpr int kReportFontHeight = 13;
constexpr int kReportWidth = 414;
constexpr COLORREF kInk = RGB(0x1F, 0x2A, 0x37);

}  // namespace

TRemovePage::TRemovePage(Platform& platform, const ProductIdentity& product,
                         std::string installDir, std::string leaveForLater,
                         std::function<void(int, const RemovalResult&)> onRemoved,
                         std::function<void(int)> onExit)
    : SkinnedPage(824, 704, Application::Title()),
      platform_(platform),
      product_(product),
      installDir_(std::move(installDir)),
      leaveForLater_(std::move(leaveForLater)),
      onRemoved_(std::move(onRemoved)),
      onExit_(std::move(onExit)),
      askPicture_(Picture::FromResource(L"REMOVE1")),
      progressPicture_(Picture::FromResource(L"REMOVE2")),
      donePicture_(Picture::FromResource(L"REMOVE3")) {
  HFONT headingFont = PageFont(L"Tahoma", 16, ARABIC_CHARSET);
  HFONT lineFont = PageFont(L"Tahoma", kReportFontHeight, ARABIC_CHARSET);
  HFONT fileFont = PageFont(L"Tahoma", 11, ARABIC_CHARSET);
  // The pictures lie 2 pixels in, as on the installer's exit page.
  const RECT picture = Bounds(2, 0, 819, 704);
  ask_ = AddPicture(&askPicture_, picture);
  progress_ = AddPicture(&progressPicture_, picture, false);
  done_ = AddPicture(&donePicture_, picture, false);
  yes_ = AddHotspot(Bounds(467, 423, 86, 27), [this] { YesClick(); });
  no_ = AddHotspot(Bounds(363, 423, 86, 27), [this] { NoClick(); });
  close_ = AddHotspot(Bounds(370, 590, 86, 27), [this] { CloseClick(); }, "", false);
  GaugeArgs gauge;
  gauge.parent = Handle();
  gauge.left = 300;
  gauge.top = 392;
  gauge.width = 309;
  gauge.height = 14;
  gauge_ = std::make_unique<TGauge>(gauge);
  AddChild(gauge_->Hwnd());
  fileName_ = AddLabel(Bounds(250, 412, 410, 20), fileFont, "", false, false);
  heading_ = AddLabel(Bounds(240, 284, 430, 24), headingFont, "", true, false);
  SetLabelColour(heading_, kInk);
  for (int i = 0; i < kReportLines; ++i) {
    lines_.push_back(AddLabel(Bounds(248, 320 + i * kReportLineHeight, kReportWidth, 18), lineFont, "",
                              true, false));
    SetLabelColour(lines_.back(), kInk);
  }
  // No is the default answer: Enter says No until the focus moves to Yes.
  SetFocusHotspot(static_cast<int>(no_));
}

void TRemovePage::YesClick() {
  if (state_ != State::Asking) return;
  state_ = State::Removing;
  SetHotspotVisible(yes_, false);
  SetHotspotVisible(no_, false);
  SetFocusHotspot(-1);
  SetPictureVisible(progress_, true);
  SetPictureVisible(ask_, false);
  SetLabelVisible(fileName_, true);
  gauge_->Show();
  RepaintNow();
  result_ = RemoveInstallation(platform_, product_, installDir_, *this, leaveForLater_);
  exitCode_ = RemovalExitCode(result_.outcome);
  if (onRemoved_) onRemoved_(exitCode_, result_);
  ShowReport();
}

void TRemovePage::NoClick() {
  if (state_ != State::Asking) return;
  onExit_(kExitNothingDone);
}

void TRemovePage::CloseClick() {
  if (state_ == State::Done) onExit_(exitCode_);
}

void TRemovePage::FormKeyPress(wchar_t key) {
  switch (state_) {
    case State::Asking:
      if (key == 27) {
        NoClick();
      } else if (key == 9) {  // Tab moves the focus between the two answers
        SetFocusHotspot(static_cast<int>(FocusHotspot() == static_cast<int>(no_) ? yes_ : no_));
      } else if (key == 13 || key == ' ') {
        if (FocusHotspot() == static_cast<int>(yes_)) {
          YesClick();
        } else {
          NoClick();
        }
      }
      break;
    case State::Removing:
      break;  // the removal is not stopped half way but at a file in use
    case State::Done:
      if (key == 13 || key == 27 || key == ' ') CloseClick();
      break;
  }
}

// Closing the window answers No while the question is open, ends the program on the last
// page, and waits while files go.
void TRemovePage::FormClose() {
  if (state_ == State::Asking) NoClick();
  if (state_ == State::Done) CloseClick();
}

void TRemovePage::ProcessMessages() { Application::ProcessMessages(); }

void TRemovePage::RemovalStarting(int32_t fileCount) { gauge_->SetMaxValue(std::max(fileCount, 1)); }

void TRemovePage::FileStarting(int32_t number, const std::string& relativePath) {
  gauge_->SetProgress(number);
  // The name is readable at 25 changes a second at most; a repaint costs more than a removal.
  const uint32_t now = GetTickCount();
  if (number == 1 || now - fileLabelShown_ >= kFileLabelInterval) {
    SetLabelText(fileName_, relativePath);
    fileLabelShown_ = now;
  } else {
    SetLabelTextQuietly(fileName_, relativePath);
  }
}

bool TRemovePage::RetryFileInUse(const std::string& fullPath) {
  const std::string text = FileInUseQuestion(PathTextForDisplay(fullPath));
  return MessageBoxW(Handle(), DisplayWide(text).c_str(), DisplayWide(Application::Title()).c_str(),
                     MB_RETRYCANCEL | MB_ICONWARNING | MB_RTLREADING | MB_RIGHT) == IDRETRY;
}

void TRemovePage::ShowReport() {
  const std::string reason =
      result_.errorCode != 0 ? platform_.SystemErrorMessage(result_.errorCode) : "";
  HFONT font = PageFont(L"Tahoma", kReportFontHeight, ARABIC_CHARSET);
  HDC dc = GetDC(Handle());
  HGDIOBJ oldFont = SelectObject(dc, font);
  const TextWidth width = [dc](const std::string& text) {
    const std::wstring wide = DisplayWide(text);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return static_cast<int>(size.cx);
  };
  const RemovalReport report = MakeRemovalReport(result_, product_.title, reason, lines_.size(),
                                                 width, kReportWidth);
  SelectObject(dc, oldFont);
  ReleaseDC(Handle(), dc);
  gauge_->Hide();
  SetLabelVisible(fileName_, false);
  SetPictureVisible(done_, true);
  SetPictureVisible(progress_, false);
  SetLabelText(heading_, report.heading);
  SetLabelVisible(heading_, true);
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i < report.lines.size()) {
      const ReportLine& line = report.lines[i];
      // TextLabel draws a right-to-left label right-aligned; a left-to-right one (a path)
      // from the left.
      SetLabelText(lines_[i], line.text);
      SetLabelRightToLeft(lines_[i], line.rightToLeft);
      SetLabelVisible(lines_[i], true);
    }
  }
  SetHotspotVisible(close_, true);
  SetFocusHotspot(static_cast<int>(close_));
  state_ = State::Done;
}

std::vector<std::string> TRemovePage::ReportTexts() const {
  std::vector<std::string> texts{LabelText(heading_)};
  for (size_t line : lines_) {
    if (!LabelText(line).empty()) texts.push_back(LabelText(line));
  }
  return texts;
}

}  // namespace installer
