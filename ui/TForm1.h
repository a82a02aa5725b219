// The welcome page: a notice and one button leading to the install page.
#pragma once

#include "ui/SkinnedPage.h"

namespace installer {

class TForm1 : public SkinnedPage {
 public:
  TForm1();
  /// The installed-product check, with this page as the owner of a launch.
  void FormCreate();
  void NextClick();
  void FormKeyPress(wchar_t key) override;
  void FormClose() override;

  size_t NextHotspot() const { return next_; }

 private:
  Picture picture_;
  size_t next_ = 0;
  size_t cancel_ = 0;  // in the page definition but disabled and invisible: never reacts
};

}  // namespace installer
