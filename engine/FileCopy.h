// The core of an installation run: scan, space check, folder creation and the file copy,
// reported to the install page through InstallObserver.
#pragma once

#include <cstdint>
#include <string>

#include "engine/InstallSession.h"

namespace installer {

/// How the engine reports to the install page. Called on the user-interface thread.
class InstallObserver {
 public:
  virtual ~InstallObserver() = default;
  /// Handles every pending window message, then returns.
  virtual void ProcessMessages() = 0;
  /// The space check passed: the page hides its Next and cancel hotspots.
  virtual void InstallStarting() = 0;
  /// The folders exist: the page shows its gauge with `maxValue` (units of 1000 bytes).
  virtual void CopyStarting(int32_t maxValue) = 0;
  /// Before each file: gauge position and file label.
  virtual void FileStarting(int32_t progress, const std::string& caption) = 0;
};

/// "There is not enough space for the installation on the target drive".
inline constexpr const char* kNotEnoughSpaceMessage = "فضاي كافي جهت نصب در درايو مقصد وجود ندارد";
inline constexpr const char* kCannotCreateSetupDirectory =
    "Sorry, System Can not Create Setup Directory";

/// Largest piece of a file read and written at once.
inline constexpr int64_t kCopyChunkSize = 61440;

/// Bytes in units of 1000, rounded to nearest with halves to even, saturated to 32 bits.
int32_t ProgressUnits(int64_t bytes);

/// Scans the medium, checks space, creates the folders and copies every file. Ends the
/// process on the two fatal conditions; other failures leave as InstallError.
void RunInstall(InstallSession& session, const std::string& pathLabelText,
                InstallObserver& observer);

/// Returns only when the target drive has room for TotalSize bytes.
void CheckFreeSpace(InstallSession& session);

/// Creates InstallDir (or ends the process) and every scanned subfolder below it.
void PrepareTargetFolders(InstallSession& session);

void CopyProductFiles(InstallSession& session, InstallObserver& observer);

/// Copies one file. The destination name appears only when the copy is complete: the bytes
/// go to a temporary file beside it, which is renamed into place at the end and removed on
/// any failure.
void CopyFileStream(Platform& platform, const std::string& source,
                    const std::string& destination);

/// The same with the destination's attributes as Platform::GetAttributes gave them a moment
/// before, for a caller that has looked the name up already. A destination that was not there
/// gets the temporary file's name through the open file, without a second lookup.
void CopyFileStream(Platform& platform, const std::string& source,
                    const std::string& destination, uint32_t destinationAttributes);

/// Name of the temporary file CopyFileStream writes before the destination appears: in the
/// destination's folder, "~", eight hex digits from the destination's name, ".setup-part"
/// (20 characters, whatever the length of the destination's name).
std::string PartialCopyName(const std::string& destination);

/// True when the last component of `path` has the form PartialCopyName gives.
bool IsPartialCopyName(const std::string& path);

/// Creates every missing level of `path`. "" raises "Unable to create directory".
bool ForceDirectories(Platform& platform, const std::string& path);

}  // namespace installer
