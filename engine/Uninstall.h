// The removal of an installation: the files it put under InstallDir, the folders left empty,
// its shortcuts and its uninstall entry, through Platform alone (the uninstaller's pages drive it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/InstallSession.h"

namespace installer {

/// The list of installed files the vendor tool lays into the medium's CAB folder.
inline constexpr const char* kInstalledListName = "uninstall.lst";
inline constexpr const char* kUninstallerName = "Uninstall.EXE";
inline constexpr const char* kConfigName = "INSTALL.CFG";

/// How the removal reports to the uninstaller's page. Called on the user-interface thread.
class UninstallObserver {
 public:
  virtual ~UninstallObserver() = default;
  /// Handles every pending window message, then returns.
  virtual void ProcessMessages() = 0;
  /// Before the first file: how many installed files are to go.
  virtual void RemovalStarting(int32_t fileCount) = 0;
  /// Before each installed file: its number (from 1) and its path below InstallDir.
  virtual void FileStarting(int32_t number, const std::string& relativePath) = 0;
  /// Another program holds `fullPath` open. True tries again; false stops the removal there.
  virtual bool RetryFileInUse(const std::string& fullPath) = 0;
};

enum class RemovalOutcome {
  Complete,   ///< everything installed is gone, the uninstall entry too
  KeptInUse,  ///< stopped at a file in use (Cancel); the entry stays for another run
  Failed,     ///< stopped at something installed that could not go (message); the entry stays
  Refused,    ///< InstallDir must not be removed (message); nothing was done
};

/// A folder left in place because something the installation did not put there is in it.
struct KeptFolder {
  std::string folder;              ///< full path
  std::vector<std::string> names;  ///< its entries ("" when they could not be listed)
};

struct RemovalResult {
  RemovalOutcome outcome = RemovalOutcome::Complete;
  std::string message;               ///< why it stopped (Failed, Refused), the file (KeptInUse)
  std::string failedPath;            ///< what could not go (Failed, KeptInUse), full path
  uint32_t errorCode = 0;            ///< the system's reason for it (Failed)
  std::vector<KeptFolder> kept;      ///< in the order they were met, deepest first
  bool listFound = false;            ///< false: only the programs and INSTALL.CFG were known
  std::vector<std::string> ignoredLines;  ///< list lines naming no path below InstallDir
  std::string leftForLater;          ///< full path of the file the caller removes itself
  /// The uninstall entry names another installation folder (the product was installed again
  /// elsewhere): it is that installation's, and stays.
  bool entryKept = false;
};

/// Why `installDir` must not be removed at all, "" when it may: empty or relative, with "."
/// or ".." or an empty part, a drive's root, the Windows folder or anything in it, a system
/// folder, Program Files or a user's profile (or a folder holding one), or a junction or
/// symbolic link (or below one). Guards against a damaged or forged uninstall entry.
std::string InstallDirProblem(Platform& platform, const std::string& installDir);

/// True when a line of the list names a path strictly below InstallDir: relative, "\"
/// between its parts, none of them empty, ".", "..", ending in a dot or blank, or holding
/// ":", "/" or a control character.
bool IsInstalledPath(const std::string& line);

struct InstalledList {
  bool found = false;                 ///< InstallDir holds the list
  std::vector<std::string> files;     ///< relative paths, in the list's order
  std::vector<std::string> ignored;   ///< lines IsInstalledPath refused
};

/// Reads InstallDir\uninstall.lst. A missing list is no error (found stays false); one that
/// cannot be read raises InstallError.
InstalledList ReadInstalledList(Platform& platform, const std::string& installDir);

/// Removes what the installation of `product` put into `installDir`, then the folders of its
/// tree left empty (deepest first, InstallDir last), the two shortcuts where they still start
/// this installation's main program, the program group's folder when left empty, and the
/// uninstall entry last. Links are never followed: nothing outside InstallDir goes but the
/// shortcuts and the entry; the entry only when it names this InstallDir's uninstaller (or
/// names none). `leaveForLater` (relative, "" for none) names a file to leave in
/// place, for RemoveLeftFile: the uninstaller's own running program.
RemovalResult RemoveInstallation(Platform& platform, const ProductIdentity& product,
                                 const std::string& installDir, UninstallObserver& observer,
                                 const std::string& leaveForLater = "");

/// Removes the file RemoveInstallation left for later and then its folders when they are left
/// empty, InstallDir last. Returns 0 (also when it was gone already) or the system error code.
uint32_t RemoveLeftFile(Platform& platform, const std::string& installDir,
                        const std::string& relativePath);

}  // namespace installer
