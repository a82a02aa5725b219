// The platform over the real Windows API. Every call goes through the wide (W) functions, with
// the program's UTF-8 text converted from and to UTF-16 at this boundary (WideText.h).
#pragma once

#include "engine/platform/Platform.h"

namespace installer {

class Win32Platform : public Platform {
 public:
  int FindFirst(const std::string& pattern, uint32_t attr, SearchRec& rec) override;
  int FindNext(SearchRec& rec) override;
  void FindClose(SearchRec& rec) override;

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  uint32_t GetAttributes(const std::string& path) override;
  bool CreateDir(const std::string& path) override;
  bool CreateProtectedDir(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  uint32_t RemoveFile(const std::string& path) override;
  uint32_t RemoveDir(const std::string& path) override;
  uint32_t ChangeAttributes(const std::string& path, uint32_t attr) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  uint32_t ReplaceFile(const std::string& from, const std::string& to) override;
  OpenResult OpenFile(const std::string& path, OpenMode mode) override;
  std::string ExpandFileName(const std::string& path) override;

  int64_t DiskFree(int drive) override;
  int64_t DiskSize(int drive) override;

  std::string GetCurrentDir() override;
  uint32_t SetCurrentDir(const std::string& path) override;
  std::string GetWindowsDirectory() override;
  SystemFolders GetSystemFolders() override;
  uint32_t GetVersion() override;
  std::string SystemErrorMessage(uint32_t code) override;

  uint32_t RegCreateKey(RegKey parent, const std::string& subKey, RegKey& result) override;
  uint32_t RegOpenKey(RegKey parent, const std::string& subKey, RegKey& result) override;
  uint32_t RegOpenKeyForReading(RegKey parent, const std::string& subKey,
                                RegKey& result) override;
  uint32_t RegQueryValue(RegKey key, const std::string& name, uint32_t& type,
                         std::string& data) override;
  uint32_t RegSetStringValue(RegKey key, const std::string& name,
                             const std::string& data) override;
  void RegCloseKey(RegKey key) override;
  uint32_t RegDeleteKey(RegKey parent, const std::string& subKey) override;

  std::unique_ptr<ShellLink> CreateShellLink() override;
  std::string ShellLinkTarget(const std::string& linkPath) override;
  intptr_t ShellExecute(uintptr_t ownerWindow, const std::string& verb, const std::string& file,
                        const std::string& parameters, const std::string& directory,
                        int showCommand) override;

  LibraryHandle LoadLibrary(const std::string& path) override;
  ProcAddress GetProcAddress(LibraryHandle library, const std::string& name) override;
  int32_t CallEntryPoint(ProcAddress entry) override;
  void FreeLibrary(LibraryHandle library) override;

  void ShowMessageDialog(const std::string& text, DialogKind kind) override;
  [[noreturn]] void EndProcess() override;
};

/// The security descriptor CreateProtectedDir gives a new folder (see Platform), in the
/// self-relative form; release it with LocalFree. Null when the system cannot build one.
void* NewProtectedFolderSecurity();

/// The form of `path` the file-system functions get: a path whose full form has 248 characters
/// or more (the limit CreateDirectoryW applies; the others stop at 260) goes as its full form
/// with the "\\?\" prefix ("\\?\UNC\" for a network path), which lifts those limits; a shorter
/// path goes as it is. False when `path` is not WTF-8 (it names no file).
bool FileSystemPath(const std::string& path, std::wstring& wide);
/// The same, "" for a path that names no file.
std::wstring FileSystemPath(const std::string& path);

}  // namespace installer
