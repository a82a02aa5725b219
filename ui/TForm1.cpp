#include "ui/TForm1.h"

#include "engine/InstallSteps.h"
#include "ui/Application.h"
#include "ui/Pages.h"
#include "ui/TForm3.h"
#include "ui/TForm5.h"

namespace installer {

TForm1::TForm1()
    : SkinnedPage(824, 704, kWelcomeWindowText),
      picture_(Picture::FromResource(L"WELCOME")) {
  // The 819-pixel picture sits 2 pixels in on the 824-pixel page.
  AddPicture(&picture_, {2, 0, 2 + 819, 704});
  next_ = AddHotspot({474, 533, 474 + 83, 533 + 35}, [this] { NextClick(); });
  SetHotspotDoubleClick(next_, [this] { NextClick(); });
  cancel_ = AddHotspot({346, 533, 346 + 80, 533 + 29}, nullptr, "", false, false);
}

void TForm1::FormCreate() {
  DetectInstalledProduct(Application::CurrentPlatform(), reinterpret_cast<uintptr_t>(Handle()));
}

void TForm1::NextClick() {
  Form3->Show();
  Hide();
}

void TForm1::FormKeyPress(wchar_t key) {
  if (key == 27) Form5->ShowModal();
  if (key == 13) NextClick();
}

void TForm1::FormClose() { Form5->ShowModal(); }

}  // namespace installer
