// Elevation of the wizard (see Elevation.h).
#include "ui/Elevation.h"

#include "engine/Errors.h"
#include "engine/platform/win32/WideText.h"

namespace installer {

Elevation CurrentElevation() {
  // Windows before Vista has no elevation: an administrator runs with full rights.
  if ((::GetVersion() & 0xFF) < 6) return Elevation::Unavailable;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return Elevation::Unavailable;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const BOOL known =
      GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
  CloseHandle(token);
  if (!known) return Elevation::Unavailable;
  return elevation.TokenIsElevated ? Elevation::Elevated : Elevation::Limited;
}

bool IsElevatedCopy() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return false;
  const bool marked = count >= 2 && lstrcmpW(arguments[count - 1], kElevatedCopyParameter) == 0;
  LocalFree(arguments);
  return marked;
}

void RunElevatedIfNeeded(Platform& platform, HWND owner) {
  // An elevated copy whose token is still limited (a standard user where the system asks
  // nobody) runs the wizard itself rather than starting copies without end.
  if (CurrentElevation() != Elevation::Limited || IsElevatedCopy()) return;
  wchar_t program[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return;
  const DWORD folderSize = GetCurrentDirectoryW(0, nullptr);
  std::wstring folder(folderSize, L'\0');
  folder.resize(GetCurrentDirectoryW(folderSize, folder.data()));
  StartElevatedCopy(platform, owner, std::wstring(program, length), folder);
}

void StartElevatedCopy(Platform& platform, HWND owner, const std::wstring& program,
                       const std::wstring& folder) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // The system's own error boxes are replaced by the messages below.
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.hwnd = owner;
  info.lpVerb = L"runas";
  info.lpFile = program.c_str();
  info.lpParameters = kElevatedCopyParameter;
  // The copy takes its current directory as the medium's root, as this process would have.
  info.lpDirectory = folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    const DWORD error = GetLastError();
    platform.ShowMessageDialog(
        error == ERROR_CANCELLED
            ? std::string(kElevationDeclinedMessage)
            : TrimSystemMessage(platform.SystemErrorMessage(error)),
        DialogKind::Warning);
  }
  platform.EndProcess();
}

}  // namespace installer
