// Where the process looks for libraries. An installer runs elevated from folders that other
// programs can write (a Downloads folder, a copy of the disc), so no library may come from its
// own folder or the current directory: only from the system folder.
#pragma once

#include "engine/platform/win32/WindowsApi.h"

namespace installer {

/// First thing at start-up: restricts the search of every later library load in the process
/// to the system folder (SetDefaultDllDirectories with LOAD_LIBRARY_SEARCH_SYSTEM32) where
/// the system offers it; elsewhere removes the current directory from the search
/// (SetDllDirectoryW(L"")). Then loads, by their full paths in the system folder, the
/// libraries that the common controls and the shell load later on their own by bare name
/// (uxtheme, dwmapi, msimg32, version): a later request for one finds it loaded already,
/// whatever search the requester uses. Returns true when the search is limited to the
/// system folder.
bool RestrictLibrarySearch();

/// True when LoadLibraryExW understands the LOAD_LIBRARY_SEARCH_* flags (Windows 8 and later,
/// or Windows Vista and 7 with update KB2533623): known by SetDefaultDllDirectories being there.
bool LibrarySearchFlagsSupported();

/// Loads `name` (e.g. L"mpr.dll") by its full path in the system folder; nullptr on failure.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace installer
