// The sample main program, built with the product's names and staged on the medium as
// <Name>.DAT. It leaves
// "<its path>.started" holding the folder it was started in (so tests can see that the
// installer launched it), then shows a short Persian greeting.
#include <windows.h>

#include "product/ProductIdentity.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t path[MAX_PATH + 16];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    lstrcatW(path, L".started");
    wchar_t folder[MAX_PATH];
    const DWORD folderLength = GetCurrentDirectoryW(MAX_PATH, folder);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, folder, folderLength * sizeof(wchar_t), &written, nullptr);
      CloseHandle(file);
    }
  }
  // "<Title> is installed and running."
  wchar_t title[512] = L"";
  MultiByteToWideChar(CP_UTF8, 0, installer::product::kTitle, -1, title, 512);
  wchar_t text[600] = L"\u0628\u0631\u0646\u0627\u0645\u0647 ";
  lstrcatW(text, title);
  lstrcatW(text, L" \u0627\u062C\u0631\u0627 \u0634\u062F.");
  MessageBoxW(nullptr, text, title, MB_OK | MB_ICONINFORMATION | MB_RTLREADING | MB_RIGHT);
  return 0;
}
