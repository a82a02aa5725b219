// The chooser page with its OK and cancel. The drive box and folder list come with their own
// controls; until then the page confirms the folder the install page opened it on.
#include "ui/TForm4.h"

#include "ui/PageFlow.h"
#include "ui/Pages.h"
#include "ui/TForm3.h"

namespace installer {

// "تعيين مسير نصب " in code page 1256.
TForm4::TForm4()
    : SkinnedPage(819, 704, "\xCA\xDA\xED\xED\xE4 \xE3\xD3\xED\xD1 \xE4\xD5\xC8 "),
      picture_(Picture::FromResource(L"CHOOSER")) {
  AddPicture(&picture_, {0, 0, 819, 704});
  ok_ = AddHotspot({415, 584, 415 + 85, 584 + 27}, [this] { okClick(); });
  cancel_ = AddHotspot({311, 585, 311 + 82, 585 + 25}, [this] { cancelClick(); });
  label2_ = AddLabel({243, 255, 243 + 311, 255 + 19}, PageFont(L"MS Sans Serif", 11, DEFAULT_CHARSET),
                     "", false);
}

void TForm4::SetDirectory(const std::string& folder) {
  directory_ = folder;
  SetLabelText(label2_, folder);
}

void TForm4::okClick() {
  Form3->SetPathText(ChosenTargetPath(directory_, Form3->Session().ProductFolder));
  Close();
}

void TForm4::cancelClick() { Close(); }

void TForm4::FormKeyPress(wchar_t key) {
  if (key == 27) Close();
  if (key == 13) okClick();
}

void TForm4::FormClose() { Close(); }

}  // namespace installer
