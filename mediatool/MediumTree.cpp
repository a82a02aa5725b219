// Reading a medium folder from disk into the tree the check copies into the in-memory machine.
#include "mediatool/MediumTree.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "engine/platform/Unicode.h"
#include "mediatool/Paths.h"

#if defined(__linux__)
#include <sys/xattr.h>
#endif

namespace mediatool {
namespace fs = std::filesystem;
namespace {

std::u16string Units(const std::string& utf8) {
  std::u16string units;
  if (!installer::Utf8ToUtf16(utf8, units)) {
    // A name that is not UTF-8 sorts by its bytes; the check reports it separately.
    units.assign(utf8.begin(), utf8.end());
  }
  return units;
}

// NTFS compares names through its upper-case table. Letters without case (Persian, digits)
// keep their code units; ASCII and Latin-1 letters fold, which covers a vendor's file names.
char16_t Fold(char16_t unit) {
  if (unit >= u'a' && unit <= u'z') return unit - (u'a' - u'A');
  if (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7) return unit - 0x20;
  return unit;
}

// Wine keeps the DOS attributes of files on a Unix folder in this extended attribute, as
// text such as "0x2" (hidden).
uint32_t DosAttributes(const std::string& path) {
#if defined(__linux__)
  char value[64] = {};
  const ssize_t length = getxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value - 1);
  if (length <= 0) return 0;
  std::string text(value, static_cast<size_t>(length));
  const size_t x = text.find("0x");
  if (x == std::string::npos) return 0;
  return static_cast<uint32_t>(std::stoul(text.substr(x + 2), nullptr, 16)) & 0x7;
#else
  (void)path;
  return 0;
#endif
}

// What a walk needs besides the folder at hand: the tree's root as given and as resolved, to
// say where a link points.
struct Walk {
  Target target;
  Diagnostics& diagnostics;
  std::string rootName;
  fs::path root;
};

bool IsWithin(const fs::path& path, const fs::path& folder) {
  return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first == folder.end();
}

// A link is never followed: a loop would be copied without end, and one that leads out of the
// tree would put whatever it names on this machine onto the medium. Even a link to a file of the
// same tree is refused, so that what goes on the medium is what the folder holds.
void ReportLink(const Walk& walk, const fs::path& link, const fs::path& parent, const std::string& rel) {
  std::error_code linkError, statusError, pathError;
  const fs::path pointsTo = fs::read_symlink(link, linkError);
  const fs::file_status status = fs::status(link, statusError);
  const fs::path resolved = fs::weakly_canonical(parent / pointsTo, pathError);
  std::string message = "a symbolic link to \"" + (linkError ? std::string("?") : Utf8Of(pointsTo)) + "\"";
  if (linkError || statusError || !fs::exists(status)) {
    message += ", which leads to no file or folder: remove it (links are not followed)";
  } else if (fs::is_directory(status) && IsWithin(fs::weakly_canonical(parent, pathError), resolved)) {
    message += ", a folder that holds the link itself (a loop): remove it (links are not followed)";
  } else if (IsWithin(resolved, walk.root)) {
    message += fs::is_directory(status)
                   ? ", a folder inside " + walk.rootName + ": links are not followed; put a copy of the folder in its place"
                   : ", a file inside " + walk.rootName + ": links are not followed, not even to a file of the "
                                                          "same folder; put a copy of the file in its place";
  } else {
    if (resolved != pointsTo) message += " (" + Utf8Of(resolved) + ")";
    message += ", outside " + walk.rootName +
               ": links are not followed; put a copy of what it names in its place";
  }
  walk.diagnostics.Error("link", rel, message);
}

void ReadFolder(Entry& folder, const std::string& relative, const Walk& walk) {
  Diagnostics& diagnostics = walk.diagnostics;
  std::error_code error;
  fs::directory_iterator it(FsPath(folder.diskPath), error);
  if (error) {
    diagnostics.Error("unreadable", relative.empty() ? "." : relative,
                      "cannot read the folder: " + error.message());
    return;
  }
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    Entry entry;
    entry.name = Utf8Of(it->path().filename());
    entry.diskPath = Utf8Of(it->path());
    const std::string rel = relative.empty() ? entry.name : relative + "\\" + entry.name;
    std::error_code statError;
    const fs::file_status status = fs::symlink_status(it->path(), statError);
    if (!statError && fs::is_symlink(status)) {
      ReportLink(walk, it->path(), FsPath(folder.diskPath), rel);
      continue;
    }
    if (statError || !(fs::is_directory(status) || fs::is_regular_file(status))) {
      diagnostics.Error("unreadable", rel, "neither a file nor a folder that can be read");
      continue;
    }
    entry.folder = fs::is_directory(status);
    entry.attr = entry.folder ? 0x10 : 0x20;
    if (!entry.folder) {
      entry.size = static_cast<int64_t>(fs::file_size(it->path(), statError));
      if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) entry.attr |= 0x1;
    }
    if (!entry.name.empty() && entry.name[0] == '.') {
      entry.attr |= 0x2;
      entry.hiddenWhy = "its name begins with \".\", which Wine reads as hidden";
    }
    if (walk.target == Target::Ntfs) {
      // A disc image does not carry these; only a copy of the folder does.
      const uint32_t dos = DosAttributes(entry.diskPath);
      if (dos & 0x6) {
        entry.attr |= dos & 0x6;
        if (entry.hiddenWhy.empty()) {
          entry.hiddenWhy = std::string("its user.DOSATTRIB attribute marks it ") +
                            ((dos & 0x2) ? ((dos & 0x4) ? "hidden and system" : "hidden") : "system");
        }
      }
    }
    if (entry.folder) ReadFolder(entry, rel, walk);
    folder.children.push_back(std::move(entry));
  }
  if (error) {
    diagnostics.Error("unreadable", relative.empty() ? "." : relative,
                      "cannot read the folder: " + error.message());
  }
  std::sort(folder.children.begin(), folder.children.end(),
            [&walk](const Entry& a, const Entry& b) { return ComesBefore(walk.target, a.name, b.name); });
}

}  // namespace

size_t Utf16Length(const std::string& utf8) { return Units(utf8).size(); }

bool ComesBefore(Target target, const std::string& a, const std::string& b) {
  const std::u16string ua = Units(a);
  const std::u16string ub = Units(b);
  if (target == Target::Ntfs) {
    const size_t n = std::min(ua.size(), ub.size());
    for (size_t i = 0; i < n; ++i) {
      const char16_t fa = Fold(ua[i]);
      const char16_t fb = Fold(ub[i]);
      if (fa != fb) return fa < fb;
    }
    if (ua.size() != ub.size()) return ua.size() < ub.size();
  }
  return ua < ub;
}

void SortNames(Target target, std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(),
            [target](const std::string& a, const std::string& b) { return ComesBefore(target, a, b); });
}

void SortTree(Entry& entry, Target target) {
  for (Entry& child : entry.children) SortTree(child, target);
  std::sort(entry.children.begin(), entry.children.end(),
            [target](const Entry& a, const Entry& b) { return ComesBefore(target, a.name, b.name); });
}

Entry ReadTree(const std::string& folder, Target target, Diagnostics& diagnostics) {
  Entry root;
  root.folder = true;
  root.attr = 0x10;
  root.diskPath = folder;
  std::error_code error;
  if (!fs::is_directory(FsPath(folder), error)) {
    diagnostics.Error("missing-folder", folder, "no such folder");
    return root;
  }
  // The folder named may itself be a link (the vendor chose it); only links inside it are refused.
  const Walk walk{target, diagnostics, folder, fs::canonical(FsPath(folder), error)};
  ReadFolder(root, "", walk);
  return root;
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

const Entry* FindChild(const Entry& folder, const std::string& name) {
  for (const Entry& child : folder.children) {
    if (SameNameIgnoringCase(child.name, name)) return &child;
  }
  return nullptr;
}

}  // namespace mediatool
