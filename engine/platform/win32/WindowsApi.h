// The Windows headers for code that also uses the Platform interface: include this instead of
// <windows.h>. <windows.h> maps DeleteFile, LoadLibrary, ShellExecute, ... to their A/W forms
// with macros, and those would rename the Platform methods of the same names in every header
// read after it. This header removes those macros; the Win32 code calls the W functions by
// their full names.
#pragma once

// Too late when <windows.h> came first: a platform header read in between is renamed already.
#if defined(_WINDOWS_) && !defined(INSTALLER_WINDOWS_API_H)
#error "include engine/platform/win32/WindowsApi.h instead of <windows.h>"
#endif
#define INSTALLER_WINDOWS_API_H

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#undef DeleteFile
#undef GetWindowsDirectory
#undef LoadLibrary
#undef ShellExecute
#undef RegCreateKey
#undef RegOpenKey
#undef RegDeleteKey
#undef RegQueryValue
#undef ReplaceFile
