// Helpers of the Windows tests: real files through the wide API, a recording platform, and a
// fresh folder per test.
#pragma once

#include "engine/platform/win32/WindowsApi.h"

#include <string>
#include <vector>

#include "engine/FileCopy.h"
#include "engine/platform/win32/WideText.h"
#include "engine/platform/win32/Win32Platform.h"

namespace installer::testing {

/// The real platform, except that the two fatal dialogs are recorded and the process end
/// becomes an exception, so a test can go on after them.
class RecordingWin32Platform : public Win32Platform {
 public:
  std::vector<std::string> dialogs;
  void ShowMessageDialog(const std::string& text, DialogKind) override { dialogs.push_back(text); }
  [[noreturn]] void EndProcess() override { throw ProcessEnded{}; }
};

class NullObserver : public InstallObserver {
 public:
  std::vector<std::string> captions;
  void ProcessMessages() override {}
  void InstallStarting() override {}
  void CopyStarting(int32_t) override {}
  void FileStarting(int32_t, const std::string& caption) override { captions.push_back(caption); }
};

inline std::wstring W(const std::string& text) { return DisplayWide(text); }

inline bool WriteBytes(const std::string& path, const std::string& content) {
  HANDLE h = CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written,
                              nullptr);
  CloseHandle(h);
  return ok && written == content.size();
}

/// The file's bytes, or "<missing>" when it cannot be opened.
inline std::string ReadBytes(const std::string& path) {
  HANDLE h = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string content;
  std::vector<char> buffer(1 << 16);
  DWORD got = 0;
  while (::ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0) {
    content.append(buffer.data(), got);
  }
  CloseHandle(h);
  return content;
}

inline bool Exists(const std::string& path) {
  return GetFileAttributesW(W(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline void RemoveTree(const std::wstring& path) {
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

/// A new empty folder in the temporary folder, named after the running test.
inline std::string FreshTestFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::string folder =
      WideToUtf8(temp) + "wintest-" + std::to_string(GetCurrentProcessId()) + "-" +
      ::testing::UnitTest::GetInstance()->current_test_info()->name();
  RemoveTree(W(folder));
  CreateDirectoryW(W(folder).c_str(), nullptr);
  return folder;
}

/// The folder of the running test program, where the helper programs are built.
inline std::string TestProgramFolder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string folder = WideToUtf8(path);
  return folder.substr(0, folder.find_last_of('\\'));
}

/// Another process holding a file open without sharing for as long as this object lives (the
/// test program itself, started with --hold-open).
class HeldOpenFile {
 public:
  explicit HeldOpenFile(const std::string& path) : marker_(path + ".held") {
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(program) + L"\" --hold-open \"" + W(path) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_)) {
      return;
    }
    CloseHandle(process_.hThread);
    for (int i = 0; i < 500 && !Exists(marker_); ++i) {
      if (WaitForSingleObject(process_.hProcess, 10) != WAIT_TIMEOUT) break;
    }
    held_ = Exists(marker_);
  }
  ~HeldOpenFile() {
    if (process_.hProcess != nullptr) {
      TerminateProcess(process_.hProcess, 0);
      WaitForSingleObject(process_.hProcess, 5000);
      CloseHandle(process_.hProcess);
    }
    DeleteFileW(W(marker_).c_str());
  }
  HeldOpenFile(const HeldOpenFile&) = delete;
  HeldOpenFile& operator=(const HeldOpenFile&) = delete;

  /// True once the other process has the file open.
  bool held() const { return held_; }

 private:
  std::string marker_;
  PROCESS_INFORMATION process_{};
  bool held_ = false;
};

}  // namespace installer::testing
