// Entry point of the Windows tests. The program initialises COM on its one thread at start-up
// and the platform relies on that (the Shell Link object), so the tests do the same.
#include <gtest/gtest.h>

#include "engine/platform/win32/WindowsApi.h"

int main(int argc, char** argv) {
  const HRESULT com = CoInitialize(nullptr);
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  if (SUCCEEDED(com)) CoUninitialize();
  return result;
}
