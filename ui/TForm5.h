// The exit confirmation: asks whether to leave the setup program; shown modally over the
// welcome page and the install page in every state.
#pragma once

#include "ui/SkinnedPage.h"

namespace installer {

class TForm5 : public SkinnedPage {
 public:
  TForm5();
  void OkClick();
  void Label1Click();
  void FormKeyPress(wchar_t key) override;
  void FormClose() override;

  size_t OkHotspot() const { return ok_; }
  size_t Label1Hotspot() const { return label1_; }

 private:
  Picture picture_;
  size_t ok_ = 0;
  size_t label1_ = 0;
};

}  // namespace installer
