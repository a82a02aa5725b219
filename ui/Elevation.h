// Administrator rights only for the installation: setup.exe starts with the rights of the
// user who started it (its manifest asks for no more), runs the installed-product check and
// the launch of an installed program as that user, and starts an elevated copy of itself
// only when the wizard is needed.
#pragma once

#include "engine/platform/win32/WindowsApi.h"

#include <cstdint>
#include <string>

#include "engine/platform/Platform.h"

namespace installer {

enum class Elevation {
  Unavailable,  ///< no elevation on this system (Windows XP and older)
  Elevated,     ///< the process has administrator rights (or the system shows no prompt)
  Limited,      ///< the process can ask for administrator rights
};

/// The process's token: elevated, limited, or a system without the concept.
Elevation CurrentElevation();

/// The parameter an elevated copy is started with, so that it never starts another.
inline constexpr const wchar_t* kElevatedCopyParameter = L"/elevated-copy";

/// Shown when the user declines the elevation prompt; nothing has been written.
inline constexpr const char* kElevationDeclinedMessage =
    "Setup needs administrator rights to install the program. Nothing has been changed";

/// True when this process is the elevated copy (its command line ends with the parameter).
bool IsElevatedCopy();

/// Before the wizard: in a process that can ask for administrator rights and is not the
/// elevated copy, starts this program again with "runas" in the current directory (the
/// medium's root: nothing has moved it yet) and ends this process. A declined prompt shows
/// kElevationDeclinedMessage, another failure the system's text, and the process ends.
/// Returns (and the wizard runs here) where there is no elevation to ask for.
void RunElevatedIfNeeded(Platform& platform, HWND owner);

/// The start of the elevated copy: `program` with "runas", kElevatedCopyParameter and the
/// working directory `folder`; then EndProcess, after the message when it did not start.
[[noreturn]] void StartElevatedCopy(Platform& platform, HWND owner, const std::wstring& program,
                                    const std::wstring& folder);

}  // namespace installer
