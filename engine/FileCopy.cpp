// Space check, folder creation and the file-by-file copy of the scanned tree.
#include "engine/FileCopy.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "engine/Errors.h"
#include "engine/platform/ErrorCodes.h"

namespace installer {
namespace {

// An attribute word from Platform::GetAttributes that names a folder.
bool IsFolder(uint32_t attributes) {
  return attributes != kNoAttributes && (attributes & kAttrDirectory) != 0;
}

std::string SystemText(Platform& platform, uint32_t code) {
  return TrimSystemMessage(platform.SystemErrorMessage(code));
}

[[noreturn]] void RaiseCannotCreate(Platform& platform, const std::string& destination,
                                    uint32_t code) {
  throw InstallError(
      CannotCreateFileMessage(platform.ExpandFileName(destination), SystemText(platform, code)));
}

void CopyBytes(FileStream& in, FileStream& out) {
  const int64_t size = in.Size();
  if (size < 0) throw InstallError(kStreamReadError);
  std::vector<char> buffer(static_cast<size_t>(std::min(size, kCopyChunkSize)));
  for (int64_t remaining = size; remaining > 0;) {
    const int64_t chunk = std::min(remaining, kCopyChunkSize);
    if (in.Read(buffer.data(), chunk) != chunk) throw InstallError(kStreamReadError);
    // A full disk shows first as a short write, so anything less than the chunk is a failure.
    if (out.Write(buffer.data(), chunk) != chunk) throw InstallError(kStreamWriteError);
    remaining -= chunk;
  }
}

}  // namespace

int32_t ProgressUnits(int64_t bytes) {
  int64_t quotient = bytes / 1000;
  int64_t remainder = bytes % 1000;
  if (remainder < 0) {
    remainder += 1000;
    --quotient;
  }
  if (remainder > 500 || (remainder == 500 && (quotient & 1) != 0)) ++quotient;
  return static_cast<int32_t>(std::clamp<int64_t>(quotient, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

void RunInstall(InstallSession& session, const std::string& pathLabelText,
                InstallObserver& observer) {
  observer.ProcessMessages();
  ScanMedia(session);
  session.InstallDir = pathLabelText;
  CheckFreeSpace(session);
  observer.InstallStarting();
  PrepareTargetFolders(session);
  observer.CopyStarting(ProgressUnits(session.TotalSize));
  CopyProductFiles(session, observer);
}

void CheckFreeSpace(InstallSession& session) {
  Platform& platform = session.platform;
  // Drive number from the path's first character: '@' is the current drive, 'A' drive 1.
  // A lower-case letter names the same drive as its capital.
  auto first = static_cast<uint8_t>(session.InstallDir.empty() ? 0 : session.InstallDir[0]);
  if (first >= 'a' && first <= 'z') first = static_cast<uint8_t>(first - ('a' - 'A'));
  const int drive = static_cast<uint8_t>(first - 64);
  const int64_t free = platform.DiskFree(drive);
  session.FreeSpace = free < 0 ? -free : free;
  // The failed query's -1 reads as 1 here, so one free byte also counts as "unknown".
  if (session.FreeSpace == 1 || session.FreeSpace < session.TotalSize) {
    platform.ShowMessageDialog(kNotEnoughSpaceMessage, DialogKind::Information);
    platform.EndProcess();
  }
}

namespace {

// The installation folder is created as the administrators' (Platform::CreateProtectedDir):
// with the default access list it would inherit from C:\ every user's right to change what
// is below it, and anyone could replace the programs that the shortcuts, the uninstall entry
// and the next elevated start run. Missing parent folders get the default list.
void CreateInstallDir(Platform& platform, const std::string& installDir) {
  std::string dir = installDir;
  while (dir.size() > 1 && dir.back() == '\\') dir.pop_back();
  const size_t slash = dir.find_last_of("\\:");
  if (slash != std::string::npos && slash + 1 < dir.size()) {
    ForceDirectories(platform, dir.substr(0, slash + 1));
  }
  platform.CreateProtectedDir(dir);
}

}  // namespace

void PrepareTargetFolders(InstallSession& session) {
  Platform& platform = session.platform;
  // A folder that exists already keeps the access list it has.
  if (!platform.DirectoryExists(session.InstallDir)) {
    CreateInstallDir(platform, session.InstallDir);
    if (!platform.DirectoryExists(session.InstallDir)) {
      platform.ShowMessageDialog(kCannotCreateSetupDirectory, DialogKind::Warning);
      platform.EndProcess();
    }
  }
  // A subfolder that cannot be created shows up as the create error of its first file.
  for (const std::string& dir : session.DirList) {
    ForceDirectories(platform, session.InstallDir + "\\" + dir);
  }
}

void CopyProductFiles(InstallSession& session, InstallObserver& observer) {
  Platform& platform = session.platform;
  session.CopiedSize = 0;
  for (size_t n = 0; n < session.FileList.size(); ++n) {
    session.DstPath = session.InstallDir + "\\" + session.FileList[n];
    session.SrcPath = session.SourceFolder + "\\" + session.FileList[n];
    // Counted before the copy: the gauge shows a file as done when it starts.
    session.CopiedSize += session.FileSizes[n];
    observer.FileStarting(ProgressUnits(session.CopiedSize), "File: " + session.SrcPath);
    observer.ProcessMessages();
    // An existing destination is kept whatever it holds; only complete files ever carry a
    // destination name, so a rerun after an interruption heals the installation. One lookup
    // tells a file from a folder (which the copy refuses) and from nothing.
    const uint32_t existing = platform.GetAttributes(session.DstPath);
    if (existing == kNoAttributes || IsFolder(existing)) {
      CopyFileStream(platform, session.SrcPath, session.DstPath, existing);
    }
  }
}

namespace {
constexpr const char* kPartialSuffix = ".setup-part";
constexpr size_t kPartialNameLength = 1 + 8 + 11;  // "~" + eight hex digits + kPartialSuffix
}  // namespace

// A name of its own in the destination's folder, short whatever the destination's length,
// and the same for the same destination in every run, so a run after a killed one finds
// the copy it left. The digits are a hash (FNV-1a) of the name with ASCII letters in upper
// case, as the file system compares names.
std::string PartialCopyName(const std::string& destination) {
  const size_t slash = destination.find_last_of("\\:");
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  uint32_t hash = 2166136261u;
  for (size_t i = nameStart; i < destination.size(); ++i) {
    auto c = static_cast<uint8_t>(destination[i]);
    if (c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - ('a' - 'A'));
    hash = (hash ^ c) * 16777619u;
  }
  return destination.substr(0, nameStart) + Format("~%08x", hash) + kPartialSuffix;
}

bool IsPartialCopyName(const std::string& path) {
  const size_t slash = path.find_last_of("\\:/");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.size() == kPartialNameLength && name[0] == '~' && name.ends_with(kPartialSuffix);
}

void CopyFileStream(Platform& platform, const std::string& source,
                    const std::string& destination) {
  CopyFileStream(platform, source, destination, platform.GetAttributes(destination));
}

void CopyFileStream(Platform& platform, const std::string& source,
                    const std::string& destination, uint32_t destinationAttributes) {
  OpenResult in = platform.OpenFile(source, OpenMode::ReadExclusive);
  if (!in.stream) {
    throw InstallError(CannotOpenFileMessage(platform.ExpandFileName(source),
                                             SystemText(platform, in.error)));
  }
  // Creating a file over a folder is refused with "access denied"; say so before any byte
  // is written beside it.
  if (IsFolder(destinationAttributes)) {
    RaiseCannotCreate(platform, destination, kErrorAccessDenied);
  }
  // The temporary copy is only ever a file this call creates: an existing name is never
  // opened and truncated, as it may be another file of the product or a link to one.
  const std::string partial = PartialCopyName(destination);
  OpenResult out = platform.OpenFile(partial, OpenMode::CreateNew);
  if (!out.stream && (out.error == kErrorFileExists || out.error == kErrorAlreadyExists)) {
    // Left by a run that was killed: removed (a link goes, not what it points at), then
    // created anew. A name that cannot be removed gives the create error.
    platform.DeleteFile(partial);
    out = platform.OpenFile(partial, OpenMode::CreateNew);
  }
  if (!out.stream) RaiseCannotCreate(platform, destination, out.error);
  try {
    CopyBytes(*in.stream, *out.stream);
  } catch (...) {
    out.stream.reset();
    platform.DeleteFile(partial);
    throw;
  }
  // Where nothing had the destination's name, the complete copy takes it through its open
  // handle, which never replaces anything. Any failure (a file system without the rename, a
  // name that appeared meanwhile) leaves the rename by name below to do it, or to report why
  // it cannot. The destination is closed before the source either way.
  if (destinationAttributes == kNoAttributes && out.stream->RenameTo(destination) == 0) {
    out.stream.reset();
    return;
  }
  out.stream.reset();
  if (const uint32_t error = platform.ReplaceFile(partial, destination); error != 0) {
    platform.DeleteFile(partial);
    RaiseCannotCreate(platform, destination, error);
  }
}

bool ForceDirectories(Platform& platform, const std::string& path) {
  if (path.empty()) throw InstallError(kUnableToCreateDirectory);
  std::string dir = path;
  while (dir.size() > 1 && dir.back() == '\\') dir.pop_back();
  const size_t slash = dir.find_last_of("\\:");
  const std::string parent = slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
  // A drive ("C:", what is left of "C:\") or a folder that is there already needs nothing.
  if ((dir.size() == 2 && dir[1] == ':') || platform.DirectoryExists(dir)) return true;
  if (!parent.empty() && parent != dir && !ForceDirectories(platform, parent)) return false;
  return platform.CreateDir(dir);
}

}  // namespace installer
