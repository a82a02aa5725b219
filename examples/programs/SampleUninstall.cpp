// The sample uninstaller, built with the product's names, staged on the medium as uninstall.DAT and installed as
// Uninstall.EXE. It removes what the installer left: the two shortcuts, the program group,
// the uninstall entry and the installed folder, so the demonstration can run again. A running
// program cannot delete its own file, so it first copies itself to the temporary folder and
// continues from there with the folder to remove as its argument.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "product/ProductIdentity.h"

namespace {

// The product's names are UTF-8 in the generated header.
std::wstring Wide(const char* utf8) {
  wchar_t buffer[1024] = L"";
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, buffer, 1024);
  return buffer;
}

const std::wstring kUninstallKey =
    L"Software\\Microsoft\\windows\\CurrentVersion\\uninstall\\" + Wide(installer::product::kName);
const wchar_t kShellFolders[] =
    L"Software\\Microsoft\\windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::wstring kLinkName = Wide(installer::product::kTitle) + L".lnk";
const std::wstring kGroup = Wide(installer::product::kGroup);

// RegQueryValueExW, not RegGetValueW: the i686 build starts on Windows XP, which lacks the
// latter. The buffer keeps a NUL after the data, which need not end with one.
std::wstring ShellFolder(const wchar_t* name) {
  wchar_t value[MAX_PATH + 1] = L"";
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return value;
  }
  DWORD type = 0;
  DWORD size = MAX_PATH * sizeof(wchar_t);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    value[0] = L'\0';
  }
  RegCloseKey(key);
  return value;
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (argc < 2) {
    // First stage, from the installed folder: continue from a copy in the temporary folder.
    std::wstring folder = self;
    folder = folder.substr(0, folder.find_last_of(L'\\'));
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring copy = std::wstring(temp) + Wide(installer::product::kName) + L"-uninstall.exe";
    if (!CopyFileW(self, copy.c_str(), FALSE)) return 1;
    const std::wstring parameters = L"\"" + folder + L"\"";
    ShellExecuteW(nullptr, L"open", copy.c_str(), parameters.c_str(), temp, SW_SHOW);
    return 0;
  }
  const std::wstring folder = argv[1];
  Sleep(500);  // let the first stage end, so its file can go
  DeleteFileW((ShellFolder(L"Desktop") + L"\\" + kLinkName).c_str());
  const std::wstring group = ShellFolder(L"Start Menu") + L"\\programs\\" + kGroup;
  DeleteFileW((group + L"\\" + kLinkName).c_str());
  RemoveDirectoryW(group.c_str());
  // The entry holds values only, no subkeys, so RegDeleteKeyW (Windows XP has no RegDeleteTreeW)
  // removes all of it.
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey.c_str());
  RemoveTree(folder);
  // The copy in the temporary folder goes when the system next starts.
  MoveFileExW(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  LocalFree(argv);
  return 0;
}
