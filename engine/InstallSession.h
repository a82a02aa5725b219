// The one record of everything the installation engine knows during a run: the product
// constants, the paths fixed at run time, the scan tables and the byte counters.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/platform/Platform.h"
#include "product/ProductIdentity.h"

namespace installer {

/// Product constants, fixed when the installer is built: the product file's values.
inline constexpr const char* kSourceFolder = "CAB";
inline constexpr const char* kProductFolder = product::kFolder;
inline constexpr const char* kProductName = product::kName;
inline constexpr const char* kShortcutName = product::kTitle;
inline constexpr const char* kProgramGroup = product::kGroup;

/// The names of a product. The installer runs with the ones it was built with; the vendor
/// tool's check runs the same engine with those of any product file.
struct ProductIdentity {
  std::string name, folder, title, group, publisher, author, configFirstLine, configPublisher;
};

/// The product this build installs.
ProductIdentity BuiltInProduct();

struct InstallSession {
  explicit InstallSession(Platform& platform) : platform(platform) {}

  Platform& platform;  ///< every OS access of the engine goes through here

  std::string ProgramGroup;
  std::string ProductName;
  std::string ShortcutName;
  std::string ProductFolder;  ///< folder name appended to the parent folder the user picks
  std::string Publisher;      ///< the uninstall entry's Publisher value
  std::string Author;         ///< the uninstall entry's Author value
  std::string ConfigFirstLine;   ///< INSTALL.CFG's first line
  std::string ConfigPublisher;   ///< INSTALL.CFG's last line
  std::string InstallDir;     ///< target folder of the installation
  std::string SourceFolder;   ///< medium subfolder that holds the product tree
  std::string MediaRoot;      ///< the directory the installer was started in
  std::string SystemDir;      ///< target folder of the system-file and font steps
  std::string SrcPath;        ///< source of the file being processed
  std::string DstPath;        ///< destination of the file being processed
  int64_t FreeSpace = 0;

  /// Folders below SourceFolder in pre-order, "\"-separated, no leading or trailing "\".
  std::vector<std::string> DirList;
  /// Non-empty files below SourceFolder, relative, with their full sizes in FileSizes.
  /// The tables grow as needed: a medium of any size installs completely.
  std::vector<std::string> FileList;
  std::vector<int64_t> FileSizes;
  int64_t TotalSize = 0;   ///< sum of FileSizes
  int64_t CopiedSize = 0;  ///< sum of the sizes of the files handled so far

  /// Pairs of FONT.TXT (value data, value name), at most kFontTableCapacity.
  std::vector<std::pair<std::string, std::string>> FontTable;
  int32_t FontIndex = 0;

  int DirCount() const { return static_cast<int>(DirList.size()); }
  int FileCount() const { return static_cast<int>(FileList.size()); }
};

inline constexpr int kFontTableCapacity = 20;

/// Fixes the product constants and records the current directory as MediaRoot. Called once,
/// while the install page is created and before anything can change the current directory.
void InitializeSession(InstallSession& session, const ProductIdentity& product = BuiltInProduct());

/// Drive letter of the Windows directory + ":\" + ProductFolder, e.g. "C:\<ProductFolder>".
std::string DefaultInstallPath(InstallSession& session);

/// Scans SourceFolder below MediaRoot into DirList, FileList, FileSizes and TotalSize, and
/// leaves MediaRoot as the current directory.
void ScanMedia(InstallSession& session);

/// Records the entries of `prefix` (relative to the current directory, "" or ending in "\")
/// and everything below them.
void ScanSourceTree(InstallSession& session, const std::string& prefix);

}  // namespace installer
