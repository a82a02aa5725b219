// The scan of the medium's product tree: what it finds is exactly what gets installed.
#include <vector>

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

namespace {

// One folder being enumerated: its prefix ("" or ending in "\") and its own open search.
struct ScanLevel {
  std::string prefix;
  SearchRec rec;
  int result = 0;
};

// Closes every search still open when the scan leaves, also when it raises.
class LevelsCloser {
 public:
  LevelsCloser(Platform& platform, std::vector<ScanLevel>& levels)
      : platform_(platform), levels_(levels) {}
  ~LevelsCloser() {
    for (ScanLevel& level : levels_) platform_.FindClose(level.rec);
  }
  LevelsCloser(const LevelsCloser&) = delete;
  LevelsCloser& operator=(const LevelsCloser&) = delete;

 private:
  Platform& platform_;
  std::vector<ScanLevel>& levels_;
};

}  // namespace

// A depth-first walk in the delivery order, with the open levels on a stack of its own
// rather than the machine's: a medium may nest folders thousands deep, and one call per
// level would overflow the thread's stack (1 MiB on Windows) at a few thousand.
void ScanSourceTree(InstallSession& session, const std::string& prefix) {
  Platform& platform = session.platform;
  std::vector<ScanLevel> levels;
  LevelsCloser closer(platform, levels);
  const auto enter = [&](std::string levelPrefix) {
    levels.push_back({std::move(levelPrefix), SearchRec{}, 0});
    ScanLevel& level = levels.back();
    level.result = platform.FindFirst(level.prefix + "*.*", kAttrDirectory, level.rec);
  };
  enter(prefix);
  while (!levels.empty()) {
    ScanLevel& level = levels.back();
    if (level.result != 0) {
      // The end of a level reads as "no more files" (or "not found" for a level without
      // entries). Any other failure, an unreadable medium, would silently leave files out
      // of the installation, so it stops the run instead.
      if (level.result != static_cast<int>(kErrorNoMoreFiles) &&
          level.result != static_cast<int>(kErrorFileNotFound)) {
        const std::string folder =
            level.prefix.empty() ? "." : level.prefix.substr(0, level.prefix.size() - 1);
        throw InstallError(
            CannotOpenFileMessage(platform.ExpandFileName(folder),
                                  TrimSystemMessage(platform.SystemErrorMessage(level.result))));
      }
      platform.FindClose(level.rec);
      levels.pop_back();
      // The folder just finished was the parent's current entry: go on after it.
      if (!levels.empty()) levels.back().result = platform.FindNext(levels.back().rec);
      continue;
    }
    const SearchRec& rec = level.rec;
    if (rec.Name != "." && rec.Name != "..") {
      // A folder is known by its directory bit alone: archive, not-indexed, compressed and
      // read-only bits on a folder must not hide it and everything below it. A junction or
      // link to a folder is not entered: it may lead outside the medium or back into the
      // tree itself, and two that point at each other never end.
      if ((rec.Attr & kAttrDirectory) != 0) {
        if ((rec.Attr & kAttrReparsePoint) == 0) {
          std::string path = level.prefix + rec.Name;
          session.DirList.push_back(path);
          enter(std::move(path) + "\\");  // `level` and `rec` are invalid from here on
          continue;
        }
      } else if (rec.Size != 0) {
        session.FileList.push_back(level.prefix + rec.Name);
        session.FileSizes.push_back(rec.Size);
        session.TotalSize += rec.Size;
      }
    }
    level.result = platform.FindNext(level.rec);
  }
}

}  // namespace installer
