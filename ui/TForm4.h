// The folder chooser: picks the parent folder under which the product is installed. Shown
// modally by the install page's change hotspot.
#pragma once

#include <string>

#include "ui/SkinnedPage.h"

namespace installer {

class TForm4 : public SkinnedPage {
 public:
  TForm4();
  /// Opens the chooser on `folder` (the install page does this before showing it).
  void SetDirectory(const std::string& folder);
  const std::string& Directory() const { return directory_; }
  void okClick();
  void cancelClick();
  void FormKeyPress(wchar_t key) override;
  void FormClose() override;

  size_t OkHotspot() const { return ok_; }
  size_t CancelHotspot() const { return cancel_; }

 private:
  Picture picture_;
  std::string directory_;
  size_t ok_ = 0;
  size_t cancel_ = 0;
  size_t label2_ = 0;
};

}  // namespace installer
