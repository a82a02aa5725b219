// Library search restricted to the system folder (see DllSearch.h for why).
#include "engine/platform/win32/DllSearch.h"

#include <string>

namespace installer {
namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryWFn = BOOL(WINAPI*)(LPCWSTR);

// kernel32 is mapped into every process before its first instruction; asking for its handle
// loads nothing.
FARPROC Kernel32Entry(const char* name) {
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel == nullptr ? nullptr : ::GetProcAddress(kernel, name);
}

template <typename Function>
Function EntryAs(FARPROC proc) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace

bool LibrarySearchFlagsSupported() {
  return Kernel32Entry("SetDefaultDllDirectories") != nullptr;
}

bool RestrictLibrarySearch() {
  bool restricted = false;
  // Looked up by name: Windows XP, Vista and 7 without KB2533623 do not have it.
  if (const auto setDefault =
          EntryAs<SetDefaultDllDirectoriesFn>(Kernel32Entry("SetDefaultDllDirectories"))) {
    restricted = setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
  }
  if (!restricted) {
    // Windows XP SP1 and later: an empty string takes the current directory out of the
    // search; the program's own folder stays in it, hence the loads below.
    if (const auto setDirectory =
            EntryAs<SetDllDirectoryWFn>(Kernel32Entry("SetDllDirectoryW"))) {
      setDirectory(L"");
    }
  }
  // Without the update above the program's folder stays first in the search, and a system
  // library that loads one of these by bare name would find a copy planted there; Wine 8
  // resolves delay-loaded imports (uxtheme's of msimg32) with that full search whatever the
  // default directories say. Loaded here from the system folder, they are found by name
  // when first needed. A library the system lacks (uxtheme before Windows XP, dwmapi before
  // Vista) simply stays unloaded.
  for (const wchar_t* name : {L"uxtheme.dll", L"dwmapi.dll", L"msimg32.dll", L"version.dll"}) {
    LoadSystemLibrary(name);
  }
  return restricted;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH + 1];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return nullptr;
  std::wstring path(folder, length);
  if (path.back() != L'\\') path += L'\\';
  path += name;
  // A full path: the loader takes exactly this file; its own imports come from the search
  // that RestrictLibrarySearch set up.
  return LoadLibraryW(path.c_str());
}

}  // namespace installer
