// The removal of an installation. Every path it touches below InstallDir is checked part by
// part, so that a junction or symbolic link put into the tree is removed at most, never entered.
#include "engine/Uninstall.h"

#include <algorithm>
#include <set>

#include "engine/Errors.h"
#include "engine/InstallSteps.h"
#include "engine/TextFile.h"
#include "engine/platform/ErrorCodes.h"

namespace installer {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool SameText(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      parts.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  parts.push_back(std::move(current));
  return parts;
}

// "X:\a\b" as its upper-case parts {"X:", "A", "B"}; nothing for any other form.
std::vector<std::string> AbsoluteParts(const std::string& path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/') &&
                     ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  if (!drive) return {};
  std::vector<std::string> parts = Split(Upper(path));
  if (parts.size() > 1 && parts.back().empty()) parts.pop_back();  // one trailing backslash
  if (parts.size() == 2 && parts[1].empty()) parts.pop_back();     // "X:\"
  return parts;
}

bool StartsWith(const std::vector<std::string>& parts, const std::vector<std::string>& prefix) {
  return prefix.size() <= parts.size() && std::equal(prefix.begin(), prefix.end(), parts.begin());
}

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string CannotRemoveMessage(Platform& platform, const std::string& path, uint32_t code) {
  return "Cannot remove \"" + path + "\". " +
         TrimSystemMessage(platform.SystemErrorMessage(code));
}

bool IsGone(uint32_t code) { return code == kErrorFileNotFound || code == kErrorPathNotFound; }

// True when every folder from InstallDir down to the parent of `relative` (and `relative`
// itself with `self`) is a real folder: not a link, and there. A path through a link is
// never followed; one through a missing folder has nothing left to remove.
bool ReachableInside(Platform& platform, const std::string& dir, const std::string& relative,
                     bool self) {
  const std::vector<std::string> parts = Split(relative);
  std::string path = dir;
  const size_t count = self ? parts.size() : parts.size() - 1;
  for (size_t i = 0; i < count; ++i) {
    path += "\\" + parts[i];
    const uint32_t attr = platform.GetAttributes(path);
    if (attr == kNoAttributes || !(attr & kAttrDirectory) || (attr & kAttrReparsePoint)) {
      return false;
    }
  }
  return true;
}

// The folders of the installed tree below InstallDir that hold a listed file, deepest first.
std::vector<std::string> TreeFolders(const std::vector<std::string>& files) {
  std::set<std::string> seen;
  std::vector<std::string> folders;
  for (const std::string& file : files) {
    for (size_t cut = file.find('\\'); cut != std::string::npos; cut = file.find('\\', cut + 1)) {
      const std::string folder = file.substr(0, cut);
      if (seen.insert(Upper(folder)).second) folders.push_back(folder);
    }
  }
  std::stable_sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
    return std::count(a.begin(), a.end(), '\\') > std::count(b.begin(), b.end(), '\\');
  });
  return folders;
}

// What is still in `folder`; empty when it cannot be listed.
std::vector<std::string> FolderEntries(Platform& platform, const std::string& folder) {
  std::vector<std::string> names;
  SearchRec rec;
  if (platform.FindFirst(folder + "\\*.*", kAttrHidden | kAttrSystem, rec) != 0) return names;
  SearchCloser closer(platform, rec);
  do {
    if (rec.Name != "." && rec.Name != "..") names.push_back(rec.Name);
  } while (platform.FindNext(rec) == 0);
  return names;
}

class Removal {
 public:
  Removal(Platform& platform, const ProductIdentity& product, const std::string& dir,
          UninstallObserver& observer, const std::string& leave)
      : platform_(platform), product_(product), dir_(dir), observer_(observer), leave_(leave) {}

  RemovalResult Run() {
    InstalledList list;
    try {
      list = ReadInstalledList(platform_, dir_);
    } catch (const InstallError& e) {
      return Stop(RemovalOutcome::Failed, e.what());
    }
    result_.listFound = list.found;
    result_.ignoredLines = list.ignored;
    std::vector<std::string> files = list.files;
    if (!list.found) files = {product_.name + ".EXE", kUninstallerName, kConfigName};
    const std::vector<std::string> folders = TreeFolders(files);
    if (!leave_.empty()) {
      std::erase_if(files, [&](const std::string& f) { return SameText(f, leave_); });
      result_.leftForLater = dir_ + "\\" + leave_;
    }
    // The list goes after the product's files, so that a run cut short finds it again; the
    // uninstaller after the list, so that until then "Programs and Features" can start it.
    auto rank = [](const std::string& f) {
      return SameText(f, kUninstallerName) ? 2 : SameText(f, kInstalledListName) ? 1 : 0;
    };
    std::stable_sort(files.begin(), files.end(),
                     [&](const auto& a, const auto& b) { return rank(a) < rank(b); });

    observer_.RemovalStarting(static_cast<int32_t>(files.size()));
    for (size_t i = 0; i < files.size(); ++i) {
      observer_.ProcessMessages();
      observer_.FileStarting(static_cast<int32_t>(i + 1), files[i]);
      if (!RemoveInstalledFile(files[i])) return result_;
    }
    for (const std::string& folder : folders) {
      if (!ReachableInside(platform_, dir_, folder, true)) continue;
      if (!RemoveFolder(dir_ + "\\" + folder)) return result_;
    }
    if (!RemoveFolder(dir_)) return result_;
    if (!RemoveShortcuts()) return result_;

    if (EntryNamesAnotherFolder()) {
      result_.entryKept = true;
      return result_;
    }
    const uint32_t entry =
        platform_.RegDeleteKey(kHKeyLocalMachine, kUninstallKeyPrefix + product_.name);
    if (entry != 0 && !IsGone(entry)) {
      result_.failedPath = std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKeyPrefix + product_.name;
      result_.errorCode = entry;
      return Stop(RemovalOutcome::Failed,
                  "Cannot remove the uninstall entry. " +
                      TrimSystemMessage(platform_.SystemErrorMessage(entry)));
    }
    return result_;
  }

 private:
  RemovalResult Stop(RemovalOutcome outcome, const std::string& message) {
    result_.outcome = outcome;
    result_.message = message;
    return result_;
  }

  bool CannotRemove(const std::string& path, uint32_t error) {
    result_.failedPath = path;
    result_.errorCode = error;
    Stop(RemovalOutcome::Failed, CannotRemoveMessage(platform_, path, error));
    return false;
  }

  // The product installed again into another folder has written its own entry over ours: its
  // uninstaller, not this one, removes it. An entry that cannot be read is taken as ours.
  bool EntryNamesAnotherFolder() {
    RegKey key = 0;
    if (platform_.RegOpenKeyForReading(kHKeyLocalMachine, kUninstallKeyPrefix + product_.name,
                                       key) != 0) {
      return false;
    }
    RegKeyCloser closer(platform_, key);
    std::optional<std::string> command;
    try {
      command = ReadRegistryString(platform_, key, "UninstallString");
    } catch (const InstallError&) {
      return false;
    }
    if (!command || command->empty()) return false;
    std::string program = *command;
    if (program.size() >= 2 && program.front() == '"') {
      program = program.substr(1, program.find('"', 1) - 1);
    }
    const size_t cut = program.find_last_of('\\');
    if (cut == std::string::npos) return false;
    const std::vector<std::string> folder = AbsoluteParts(program.substr(0, cut));
    return !folder.empty() && folder != AbsoluteParts(dir_);
  }

  bool RemoveInstalledFile(const std::string& relative) {
    if (!ReachableInside(platform_, dir_, relative, false)) return true;
    const std::string path = dir_ + "\\" + relative;
    const uint32_t attr = platform_.GetAttributes(path);
    // Gone already, or a folder or link where the file was: nothing installed to remove.
    if (attr == kNoAttributes || (attr & (kAttrDirectory | kAttrReparsePoint))) return true;
    if (attr & kAttrReadOnly) {
      const uint32_t error = platform_.ChangeAttributes(path, attr & ~kAttrReadOnly);
      if (error != 0 && !IsGone(error)) return CannotRemove(path, error);
    }
    for (;;) {
      const uint32_t error = platform_.RemoveFile(path);
      if (error == 0 || IsGone(error)) return true;
      if (error != kErrorSharingViolation) return CannotRemove(path, error);
      if (!observer_.RetryFileInUse(path)) {
        result_.failedPath = path;
        result_.errorCode = error;
        Stop(RemovalOutcome::KeptInUse, path);
        return false;
      }
    }
  }

  // A folder that still holds something is kept and its entries noted; only the file left
  // for later does not count.
  bool RemoveFolder(const std::string& folder) {
    const uint32_t error = platform_.RemoveDir(folder);
    if (error == 0 || IsGone(error)) return true;
    if (error != kErrorDirNotEmpty) return CannotRemove(folder, error);
    std::vector<std::string> names = FolderEntries(platform_, folder);
    if (!result_.leftForLater.empty()) {
      std::erase_if(names, [&](const std::string& name) {
        return SameText(folder + "\\" + name, result_.leftForLater);
      });
      const size_t cut = result_.leftForLater.find_last_of('\\');
      if (names.empty() && SameText(result_.leftForLater.substr(0, cut), folder)) return true;
    }
    result_.kept.push_back({folder, std::move(names)});
    return true;
  }

  bool RemoveShortcuts() {
    RegKey explorer = 0;
    const uint32_t opened =
        platform_.RegOpenKeyForReading(kHKeyCurrentUser, kExplorerKey, explorer);
    RegKeyCloser closer(platform_, explorer);
    if (IsGone(opened)) return true;
    if (opened != 0) {
      Stop(RemovalOutcome::Failed, "Cannot read the shortcuts' folders. " +
                                       TrimSystemMessage(platform_.SystemErrorMessage(opened)));
      return false;
    }
    try {
      const std::string desktopLink = DesktopShortcutPath(platform_, explorer, product_.title);
      const std::string group = ProgramGroupFolder(platform_, explorer, product_.group);
      // A folder the registry does not name gives a path from the drive's root: not ours.
      if (desktopLink[0] != '\\' && !RemoveShortcut(desktopLink)) return false;
      if (group[0] == '\\') return true;
      if (!RemoveShortcut(group + ShortcutFileName(product_.title))) return false;
      const std::string groupFolder = WithoutTrailingSeparator(group);
      const uint32_t attr = platform_.GetAttributes(groupFolder);
      if (attr == kNoAttributes || (attr & kAttrReparsePoint)) return true;
      return RemoveFolder(groupFolder);
    } catch (const InstallError&) {
      return true;  // a Shell Folders value of another type: no folder known to look in
    }
  }

  // Only a shortcut that still starts this installation's main program is ours to remove.
  bool RemoveShortcut(const std::string& link) {
    if (!platform_.FileExists(link)) return true;
    const std::vector<std::string> target = AbsoluteParts(platform_.ShellLinkTarget(link));
    if (target.empty() || target != AbsoluteParts(MainProgramPath(dir_, product_.name))) {
      return true;
    }
    const uint32_t error = platform_.RemoveFile(link);
    if (error == 0 || IsGone(error)) return true;
    return CannotRemove(link, error);
  }

  Platform& platform_;
  const ProductIdentity& product_;
  const std::string dir_;
  UninstallObserver& observer_;
  const std::string leave_;
  RemovalResult result_;
};

}  // namespace

std::string InstallDirProblem(Platform& platform, const std::string& installDir) {
  if (installDir.empty()) return "The installation folder is not named";
  const std::vector<std::string> parts = AbsoluteParts(installDir);
  if (parts.empty()) return "The installation folder is not a full path: " + installDir;
  for (size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty() || parts[i] == "." || parts[i] == "..") {
      return "The installation folder has an empty, \".\" or \"..\" part: " + installDir;
    }
  }
  if (parts.size() == 1) return "The installation folder is a drive's root: " + installDir;
  const std::vector<std::string> windows = AbsoluteParts(platform.GetWindowsDirectory());
  if (!windows.empty() && StartsWith(parts, windows)) {
    return "The installation folder is the Windows folder or in it: " + installDir;
  }
  const SystemFolders system = platform.GetSystemFolders();
  for (const std::string& folder : system.folders) {
    const std::vector<std::string> protectedParts = AbsoluteParts(folder);
    if (!protectedParts.empty() && StartsWith(protectedParts, parts)) {
      return "The installation folder is a system folder or holds one: " + installDir;
    }
  }
  const std::vector<std::string> profiles = AbsoluteParts(system.profilesRoot);
  const bool isProfile = parts.size() == profiles.size() + 1 && StartsWith(parts, profiles);
  if (!profiles.empty() && (StartsWith(profiles, parts) || isProfile)) {
    return "The installation folder is a user's profile or holds one: " + installDir;
  }
  const std::vector<std::string> given = Split(WithoutTrailingSeparator(installDir));
  std::string path = given[0];
  for (size_t i = 1; i < given.size(); ++i) {
    path += "\\" + given[i];
    const uint32_t attr = platform.GetAttributes(path);
    if (attr != kNoAttributes && (attr & kAttrReparsePoint)) {
      return "The installation folder is reached through a junction or link: " + installDir;
    }
  }
  return "";
}

bool IsInstalledPath(const std::string& line) {
  if (line.empty()) return false;
  for (const char c : line) {
    if (c == ':' || c == '/' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  for (const std::string& part : Split(line)) {
    // Windows drops trailing dots and blanks from a name, so ".. " would be "..".
    if (part.empty() || part.back() == '.' || part.back() == ' ') return false;
  }
  return true;
}

InstalledList ReadInstalledList(Platform& platform, const std::string& installDir) {
  InstalledList list;
  const std::string path = WithoutTrailingSeparator(installDir) + "\\" + kInstalledListName;
  const uint32_t attr = platform.GetAttributes(path);
  if (attr == kNoAttributes || (attr & (kAttrDirectory | kAttrReparsePoint))) return list;
  list.found = true;
  ListReader reader(platform, path);
  std::set<std::string> seen;
  while (!reader.Eof()) {
    const std::string line = reader.ReadLine();
    if (line.empty() || line[0] == ';') continue;
    if (!IsInstalledPath(line)) {
      list.ignored.push_back(line);
    } else if (seen.insert(Upper(line)).second) {
      list.files.push_back(line);
    }
  }
  return list;
}

RemovalResult RemoveInstallation(Platform& platform, const ProductIdentity& product,
                                 const std::string& installDir, UninstallObserver& observer,
                                 const std::string& leaveForLater) {
  RemovalResult result;
  const std::string problem = InstallDirProblem(platform, installDir);
  if (!problem.empty()) {
    result.outcome = RemovalOutcome::Refused;
    result.message = problem;
    return result;
  }
  if (!leaveForLater.empty() && !IsInstalledPath(leaveForLater)) {
    result.outcome = RemovalOutcome::Refused;
    result.message = "Not a path below the installation folder: " + leaveForLater;
    return result;
  }
  return Removal(platform, product, WithoutTrailingSeparator(installDir), observer, leaveForLater)
      .Run();
}

uint32_t RemoveLeftFile(Platform& platform, const std::string& installDir,
                        const std::string& relativePath) {
  if (!InstallDirProblem(platform, installDir).empty() || !IsInstalledPath(relativePath)) {
    return kErrorInvalidName;
  }
  const std::string dir = WithoutTrailingSeparator(installDir);
  if (!ReachableInside(platform, dir, relativePath, false)) return 0;
  const std::string path = dir + "\\" + relativePath;
  const uint32_t attr = platform.GetAttributes(path);
  if (attr != kNoAttributes && !(attr & (kAttrDirectory | kAttrReparsePoint))) {
    if (attr & kAttrReadOnly) platform.ChangeAttributes(path, attr & ~kAttrReadOnly);
    const uint32_t error = platform.RemoveFile(path);
    if (error != 0 && !IsGone(error)) return error;
  }
  // Folders that still hold something simply stay.
  for (const std::string& folder : TreeFolders({relativePath})) {
    if (ReachableInside(platform, dir, folder, true)) platform.RemoveDir(dir + "\\" + folder);
  }
  platform.RemoveDir(dir);
  return 0;
}

}  // namespace installer
