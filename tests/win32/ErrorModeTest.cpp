// Critical-error boxes around the calls that may enter a drive without its medium: Windows
// shows its own "no disk" box there (Wine never does), so the test watches the error modes the
// platform sets, through the program's import of SetErrorMode.
#include <gtest/gtest.h>

#include "engine/platform/win32/WindowsApi.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/platform/win32/WideText.h"
#include "engine/platform/win32/Win32Platform.h"

namespace installer {
namespace {

using SetErrorModeFn = UINT(WINAPI*)(UINT);

SetErrorModeFn realSetErrorMode = nullptr;
std::vector<UINT> modesSet;  // every mode set while the hook is in

UINT WINAPI RecordingSetErrorMode(UINT mode) {
  modesSet.push_back(mode);
  return realSetErrorMode(mode);
}

// The import-address slot of KERNEL32!SetErrorMode in this program; everything is linked
// statically, so the platform's calls go through it.
SetErrorModeFn* SetErrorModeSlot() {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       d->Name != 0; ++d) {
    if (_stricmp(reinterpret_cast<const char*>(base + d->Name), "kernel32.dll") != 0) continue;
    auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "SetErrorMode") == 0) {
        return reinterpret_cast<SetErrorModeFn*>(&slots->u1.Function);
      }
    }
  }
  return nullptr;
}

class ErrorModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    slot = SetErrorModeSlot();
    ASSERT_NE(slot, nullptr) << "no KERNEL32!SetErrorMode import";
    Put(&RecordingSetErrorMode, &realSetErrorMode);
    original = realSetErrorMode(0);
    modesSet.clear();
  }
  void TearDown() override {
    SetFunction(realSetErrorMode);
    realSetErrorMode(original);
  }
  void Put(SetErrorModeFn hook, SetErrorModeFn* saved) {
    *saved = *slot;
    SetFunction(hook);
  }
  void SetFunction(SetErrorModeFn function) {
    DWORD protection = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = function;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
  }

  Win32Platform platform;
  SetErrorModeFn* slot = nullptr;
  UINT original = 0;
};

// Each call that may touch a drive without its medium runs with SEM_FAILCRITICALERRORS added to
// the mode the program had (its other flags kept) and leaves that mode as it found it, whether
// the drive can be entered or not. N: of the test prefix is such a drive (its folder is missing).
TEST_F(ErrorModeTest, DriveCallsSwitchCriticalErrorBoxesOffAndRestoreTheMode) {
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  const std::string here = WideToUtf8(current);
  struct Case {
    const char* what;
    std::function<void()> call;
  };
  const Case cases[] = {
      {"SetCurrentDir to a drive without its medium", [&] { EXPECT_NE(platform.SetCurrentDir("N:\\"), 0u); }},
      {"SetCurrentDir to the drive alone", [&] { EXPECT_NE(platform.SetCurrentDir("N:"), 0u); }},
      {"SetCurrentDir to a folder that exists", [&] { EXPECT_EQ(platform.SetCurrentDir(here), 0u); }},
      {"DirectoryExists on a drive without its medium", [&] { EXPECT_FALSE(platform.DirectoryExists("N:\\")); }},
      {"DirectoryExists on C:", [&] { EXPECT_TRUE(platform.DirectoryExists("C:\\")); }},
      {"DiskFree of a drive without its medium", [&] { EXPECT_EQ(platform.DiskFree(14), -1); }},
      {"DiskSize of a drive without its medium", [&] { EXPECT_EQ(platform.DiskSize(14), -1); }},
      {"DiskFree of C:", [&] { EXPECT_GT(platform.DiskFree(3), 0); }},
  };
  const UINT startModes[] = {0, SEM_NOOPENFILEERRORBOX, SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX,
                             SEM_FAILCRITICALERRORS};
  for (const UINT start : startModes) {
    for (const Case& c : cases) {
      realSetErrorMode(start);
      modesSet.clear();
      c.call();
      const std::string where = std::string(c.what) + ", starting from mode " + std::to_string(start);
      bool quietWithFlagsKept = false;
      for (size_t i = 0; i + 1 < modesSet.size(); ++i) {
        quietWithFlagsKept |= modesSet[i] == (start | SEM_FAILCRITICALERRORS);
      }
      EXPECT_TRUE(quietWithFlagsKept) << where << ": the call never ran with the boxes off";
      ASSERT_FALSE(modesSet.empty()) << where;
      EXPECT_EQ(modesSet.back(), start) << where << ": the mode was not restored last";
      EXPECT_EQ(realSetErrorMode(0), start) << where;
    }
  }
  SetCurrentDirectoryW(current);
}

}  // namespace
}  // namespace installer
