// The scan of the medium's product tree: what it finds is exactly what gets installed.
#include "engine/Errors.h"
#include "engine/InstallSession.h"
#include "engine/platform/ErrorCodes.h"

namespace installer {

void ScanMedia(InstallSession& session) {
  Platform& platform = session.platform;
  platform.SetCurrentDir(session.MediaRoot);
  // Without its product folder a medium would otherwise be scanned from its root, and the
  // medium itself (setup program, system files, fonts) would be taken for the product.
  if (const uint32_t error = platform.SetCurrentDir(session.SourceFolder); error != 0) {
    throw InstallError(CannotOpenFileMessage(platform.ExpandFileName(session.SourceFolder),
                                             TrimSystemMessage(platform.SystemErrorMessage(error))));
  }
  ScanSourceTree(session, "");
  // Back to the medium's root, against which the copy addresses SourceFolder + "\" + file.
  platform.SetCurrentDir(session.MediaRoot);
}

void ScanSourceTree(InstallSession& session, const std::string& prefix) {
  Platform& platform = session.platform;
  // Each level keeps its own open search; the nested call cannot disturb it.
  SearchRec rec;
  SearchCloser closer(platform, rec);  // also when a nested level raises
  int result = platform.FindFirst(prefix + "*.*", kAttrDirectory, rec);
  while (result == 0) {
    if (rec.Name != "." && rec.Name != "..") {
      // A folder is known by its directory bit alone: archive, not-indexed, compressed and
      // read-only bits on a folder must not hide it and everything below it.
      if ((rec.Attr & kAttrDirectory) != 0) {
        session.DirList.push_back(prefix + rec.Name);
        ScanSourceTree(session, prefix + rec.Name + "\\");
      } else if (rec.Size != 0) {
        session.FileList.push_back(prefix + rec.Name);
        session.FileSizes.push_back(rec.Size);
        session.TotalSize += rec.Size;
      }
    }
    result = platform.FindNext(rec);
  }
  // The end of a level reads as "no more files" (or "not found" for a level without
  // entries). Any other failure, an unreadable medium, would silently leave files out of
  // the installation, so it stops the run instead.
  if (result != static_cast<int>(kErrorNoMoreFiles) &&
      result != static_cast<int>(kErrorFileNotFound)) {
    const std::string folder = prefix.empty() ? "." : prefix.substr(0, prefix.size() - 1);
    throw InstallError(
        CannotOpenFileMessage(platform.ExpandFileName(folder),
                              TrimSystemMessage(platform.SystemErrorMessage(result))));
  }
}

}  // namespace installer
