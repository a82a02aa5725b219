// The install page: target path and group, the folder chooser, and the whole installation run
// inside its Next handler with the gauge and file label following the copy.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/FileCopy.h"
#include "engine/InstallSession.h"
#include "ui/SkinnedPage.h"
#include "ui/controls/Gauge.h"

namespace installer {

class TForm3 : public SkinnedPage, public InstallObserver {
 public:
  TForm3();
  void FormCreate();
  void changeClick();
  void NextClick();
  void cancelClick();
  void OkExitClick();
  void FormKeyPress(wchar_t key) override;
  void FormClose() override;

  // InstallObserver: the engine's reports during RunInstall.
  void ProcessMessages() override;
  void InstallStarting() override;
  void CopyStarting(int32_t maxValue) override;
  void FileStarting(int32_t progress, const std::string& caption) override;

  InstallSession& Session() { return session_; }
  bool InstallStarted() const { return installStarted_; }
  const std::string& PathText() const { return LabelText(path_); }
  void SetPathText(const std::string& text) { SetLabelText(path_, text); }
  const std::string& FileNameText() const { return LabelText(fileName_); }
  bool Finished() const { return HotspotVisible(okExit_); }
  TGauge& Gauge() { return *gauge_; }
  /// The clock of the file label's repaint pacing (GetTickCount unless a test sets another).
  void SetClockForTesting(uint32_t (*clock)()) { clock_ = clock; }
  /// The page's clock: GetTickCount unless a test set another.
  uint32_t Now() const { return clock_ != nullptr ? clock_() : GetTickCount(); }

  // Hotspot indices, for tests that click them.
  size_t NextHotspot() const { return next_; }
  size_t CancelHotspot() const { return cancel_; }
  size_t ChangeHotspot() const { return change_; }
  size_t OkExitHotspot() const { return okExit_; }

 private:
  void RepaintFileLabelIfBehind();

  Picture installPicture_;
  Picture finishNewPicture_;
  Picture finishOldPicture_;
  InstallSession session_;
  std::unique_ptr<TGauge> gauge_;
  bool installStarted_ = false;
  uint8_t majorVersion_ = 0;
  uint32_t (*clock_)() = nullptr;
  int32_t lastProgress_ = 0;         ///< the position the last file reported
  uint32_t lastDispatch_ = 0;        ///< when ProcessMessages last dispatched messages
  uint32_t fileLabelRepainted_ = 0;  ///< clock at the file label's last repaint
  uint32_t copyStarted_ = 0;         ///< clock when the copy started
  bool fileLabelBehind_ = false;     ///< the label's text is newer than its last repaint

  size_t imageToz_ = 0, imageToz2_ = 0, image1_ = 0;
  size_t cancel_ = 0, next_ = 0, change_ = 0, okExit_ = 0;
  size_t path_ = 0, group_ = 0, wait_ = 0, fileName_ = 0;
};

}  // namespace installer
