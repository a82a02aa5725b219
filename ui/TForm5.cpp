#include "ui/TForm5.h"

#include "ui/Application.h"

namespace installer {

TForm5::TForm5() : SkinnedPage(824, 704, kExitWindowText), picture_(Picture::FromResource(L"EXIT")) {
  AddPicture(&picture_, {2, 0, 2 + 819, 704});
  ok_ = AddHotspot({467, 393, 467 + 86, 393 + 27}, [this] { OkClick(); });
  label1_ = AddHotspot({363, 393, 363 + 85, 393 + 25}, [this] { Label1Click(); });
}

void TForm5::OkClick() { Application::CurrentPlatform().EndProcess(); }

void TForm5::Label1Click() { Close(); }

void TForm5::FormKeyPress(wchar_t key) {
  if (key == 27) Close();
  if (key == 13) Application::CurrentPlatform().EndProcess();
}

// A close request sent to the confirmation itself declines, as its cancel hotspot does.
void TForm5::FormClose() { Close(); }

}  // namespace installer
