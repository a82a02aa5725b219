// The installation steps that follow the copy, and the start-up check for an installed
// product. Each raises InstallError for the failures it reports.
#pragma once

#include <optional>
#include <string>

#include "engine/InstallSession.h"

namespace installer {

inline constexpr const char* kUninstallKeyPrefix =
    "Software\\Microsoft\\windows\\CurrentVersion\\uninstall\\";
inline constexpr const char* kExplorerKey = "Software\\Microsoft\\windows\\CurrentVersion\\Explorer";
inline constexpr const char* kFontsKey = "Software\\Microsoft\\windows\\CurrentVersion\\Fonts";
inline constexpr const char* kFontsKeyNt = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
inline constexpr int kShowWindow = 5;  // SW_SHOW

/// Copies the medium's "System" folder into the Windows system folder, then self-registers
/// every file SYSTEM.TXT lists that is present there.
void InstallSystemFiles(InstallSession& session);

/// Loads `path` and calls its DllRegisterServer (or DllUnregisterServer). False when the
/// file is missing, does not load, or lacks the entry point.
bool RegisterComponent(Platform& platform, const std::string& path, bool doRegister);

/// Enters every font file of the medium's "Fonts" folder under both Fonts keys and copies it
/// into the Windows fonts folder when it is not there yet.
void InstallFonts(InstallSession& session);

/// Writes the registry value of the current font file (FontIndex, SrcPath, DstPath) below
/// HKEY_LOCAL_MACHINE\`key`; named from FONT.TXT when `listRead`.
void WriteFontEntry(InstallSession& session, const std::string& key, bool listRead);

/// Renames the staged main program and uninstaller into place and writes INSTALL.CFG.
void FinishInstallFolder(InstallSession& session);

/// The steps after the copy, in their order: system files, fonts, the finishing renames and
/// INSTALL.CFG, shortcuts and the uninstall entry. An error stops at the step that raised it.
void RunPostCopySteps(InstallSession& session);

/// Desktop and Start-menu shortcuts to the main program, then the uninstall entry. The
/// entry is written even when the shortcut part raised.
void CreateShortcutsAndUninstallEntry(InstallSession& session);

/// Where the shortcuts go, from the current user's "Shell Folders" below the open Explorer
/// key (0 for none). A folder missing there reads as "", so the path starts with a backslash,
/// as the installer saves it.
/// The desktop shortcut: Desktop + "\" + title + ".lnk".
std::string DesktopShortcutPath(Platform& platform, RegKey explorer, const std::string& title);
/// The program group's folder: Start Menu + "\programs\" + group + "\".
std::string ProgramGroupFolder(Platform& platform, RegKey explorer, const std::string& group);
/// The file name of both shortcuts: title + ".lnk".
std::string ShortcutFileName(const std::string& title);

/// The program the shortcuts start: installDir + "\" + productName + ".EXE".
std::string MainProgramPath(const std::string& installDir, const std::string& productName);

/// At start-up: when the uninstall entry names an existing main program, starts it through
/// the shell (owned by `ownerWindow`) and ends the process. Returns otherwise.
void DetectInstalledProduct(Platform& platform, uintptr_t ownerWindow);

/// Reads a string value: nothing when it is missing; "" when its size is 0; REG_SZ and
/// REG_EXPAND_SZ as stored up to the first NUL; any other type raises
/// "Invalid data type for '%s'".
std::optional<std::string> ReadRegistryString(Platform& platform, RegKey key,
                                              const std::string& name);

}  // namespace installer
