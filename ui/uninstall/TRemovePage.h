// The uninstaller's one window: the confirmation, the progress of the removal and the last
// page, one after the other on the product's pictures.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/Uninstall.h"
#include "ui/SkinnedPage.h"
#include "ui/controls/Gauge.h"
#include "ui/uninstall/RemovalLogic.h"

namespace installer {

class TRemovePage : public SkinnedPage, public UninstallObserver {
 public:
  enum class State { Asking, Removing, Done };

  /// `onRemoved` runs once the removal has ended, before the last page shows (the program
  /// answers the uninstaller it continues for, and removes that one's file); `onExit` ends
  /// the program with the exit code.
  TRemovePage(Platform& platform, const ProductIdentity& product, std::string installDir,
              std::string leaveForLater, std::function<void(int, const RemovalResult&)> onRemoved,
              std::function<void(int)> onExit);

  void YesClick();
  void NoClick();
  void CloseClick();
  void FormKeyPress(wchar_t key) override;
  void FormClose() override;

  // UninstallObserver
  void ProcessMessages() override;
  void RemovalStarting(int32_t fileCount) override;
  void FileStarting(int32_t number, const std::string& relativePath) override;
  bool RetryFileInUse(const std::string& fullPath) override;

  State CurrentState() const { return state_; }
  const RemovalResult& Result() const { return result_; }
  size_t YesHotspot() const { return yes_; }
  size_t NoHotspot() const { return no_; }
  size_t CloseHotspot() const { return close_; }
  /// The last page's texts, heading first, as shown.
  std::vector<std::string> ReportTexts() const;

 private:
  void ShowReport();

  Platform& platform_;
  const ProductIdentity& product_;
  const std::string installDir_;
  const std::string leaveForLater_;
  std::function<void(int, const RemovalResult&)> onRemoved_;
  std::function<void(int)> onExit_;
  Picture askPicture_, progressPicture_, donePicture_;
  std::unique_ptr<TGauge> gauge_;
  State state_ = State::Asking;
  RemovalResult result_;
  int exitCode_ = kExitNothingDone;
  uint32_t fileLabelShown_ = 0;
  size_t ask_ = 0, progress_ = 0, done_ = 0;
  size_t yes_ = 0, no_ = 0, close_ = 0;
  size_t fileName_ = 0, heading_ = 0;
  std::vector<size_t> lines_;
};

}  // namespace installer
