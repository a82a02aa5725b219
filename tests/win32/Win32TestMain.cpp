// Entry point of the Windows tests. The program initialises COM on its one thread at start-up
// and the platform relies on that (the Shell Link object), so the tests do the same.
//
// Started as "win32_tests --hold-open PATH", the program is instead the other process of the
// tests that need a file held open elsewhere: it opens PATH without sharing, creates
// PATH.held to say so, and keeps the file open until it is terminated.
#include <gtest/gtest.h>

#include "engine/platform/win32/WindowsApi.h"

#include <cstring>

namespace {

int HoldOpen(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  const std::wstring marker = std::wstring(path) + L".held";
  HANDLE ready = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (ready == INVALID_HANDLE_VALUE) return 3;
  CloseHandle(ready);
  Sleep(INFINITE);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--hold-open") == 0) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    return wide != nullptr && count == 3 ? HoldOpen(wide[2]) : 2;
  }
  const HRESULT com = CoInitialize(nullptr);
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  if (SUCCEEDED(com)) CoUninitialize();
  return result;
}
