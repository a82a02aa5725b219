// Page creation in the fixed order the wizard relies on.
#include "ui/Application.h"
#include "ui/Elevation.h"
#include "ui/Pages.h"
#include "ui/TForm1.h"
#include "ui/TForm3.h"
#include "ui/TForm4.h"
#include "ui/TForm5.h"

namespace installer {

TForm1* Form1 = nullptr;
TForm3* Form3 = nullptr;
TForm4* Form4 = nullptr;
TForm5* Form5 = nullptr;

void CreateWizardPages(bool elevateForWizard) {
  // The installed-product check runs before any other page exists.
  Form1 = new TForm1();
  Application::SetMainPage(Form1);
  Application::Guard([] { Form1->FormCreate(); });
  if (Application::Terminated()) return;
  // The check above ran with the user's rights, and any installed program it started runs
  // as the user. The wizard installs, and asks for administrator rights here if it must.
  if (elevateForWizard) RunElevatedIfNeeded(Application::CurrentPlatform(), Form1->Handle());
  Form1->Show();
  // Painted now rather than when the message loop starts: the welcome page is on the screen
  // while the other three pages are being created.
  UpdateWindow(Form1->Handle());
  // The install page takes the current directory as the medium's root before the folder
  // chooser exists, whose folder list moves the current directory.
  Form3 = new TForm3();
  Application::Guard([] { Form3->FormCreate(); });
  Form4 = new TForm4();
  Form5 = new TForm5();
}

void DestroyWizardPages() {
  delete Form5;
  delete Form4;
  delete Form3;
  delete Form1;
  Form5 = nullptr;
  Form4 = nullptr;
  Form3 = nullptr;
  Form1 = nullptr;
  Application::SetMainPage(nullptr);
}

}  // namespace installer
