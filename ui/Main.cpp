// The setup program's entry: component objects, the title, the pages, the message loop.
#include "engine/platform/win32/WindowsApi.h"

#include "engine/platform/win32/DllSearch.h"
#include "engine/platform/win32/Win32Platform.h"
#include "ui/Application.h"
#include "ui/Pages.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything can load a library: none may come from this program's folder (a copy of
  // the disc, a Downloads folder) or the current directory.
  installer::RestrictLibrarySearch();
  // The shortcut step creates a Shell Link object; it needs the single-threaded apartment.
  CoInitialize(nullptr);
  static installer::Win32Platform platform;
  installer::Application::Initialize(platform);
  installer::Application::SetTitle(installer::kApplicationTitle);
  installer::CreateWizardPages(/*elevateForWizard=*/true);
  installer::Application::Run();
  platform.EndProcess();
}
