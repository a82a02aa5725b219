// The in-memory Windows behind MemoryPlatform: one folder tree per drive, open streams and
// searches that outlive changes to the tree, the registry, and the fault countdowns.
#include "engine/platform/memory/MemoryPlatform.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <set>
#include <stdexcept>
#include <utility>

#include "engine/Errors.h"
#include "engine/platform/ErrorCodes.h"

namespace installer {
namespace {

constexpr uint32_t kSpecialAttrs = kAttrHidden | kAttrSystem | kAttrVolumeId;
constexpr int64_t kMaxMaterialized = int64_t{64} << 20;
constexpr int32_t kEFail = static_cast<int32_t>(0x80004005u);

int32_t HresultFromWin32(uint32_t code) {
  return static_cast<int32_t>(0x80070000u | (code & 0xFFFFu));
}

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Only ASCII letters fold; the bytes of other characters (UTF-8) compare as they are.
std::string Upper(std::string text) {
  for (char& c : text) c = UpperChar(c);
  return text;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::vector<std::string> SplitPath(const std::string& text, bool slashToo) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (c == '\\' || (slashToo && c == '/')) {
      if (!current.empty()) parts.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(std::move(current));
  return parts;
}

std::string Join(const std::vector<std::string>& parts, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) text += '\\';
    text += parts[i];
  }
  return text;
}

bool WildMatch(const std::string& mask, const std::string& name) {
  size_t m = 0, n = 0, starM = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (m < mask.size() && mask[m] == '?') {
      // One character, which in UTF-8 may be several bytes.
      ++m;
      ++n;
      while (n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) ++n;
    } else if (m < mask.size() && UpperChar(mask[m]) == UpperChar(name[n])) {
      ++m;
      ++n;
    } else if (starM != std::string::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

// A trailing ".*" also matches names without an extension, so "*.*" delivers everything.
bool MatchMask(const std::string& mask, const std::string& name) {
  if (WildMatch(mask, name)) return true;
  return mask.size() >= 2 && mask.compare(mask.size() - 2, 2, ".*") == 0 &&
         WildMatch(mask.substr(0, mask.size() - 2), name);
}

enum : uint8_t { kRead = 1, kWrite = 2 };

// The longest name of one file or folder that Windows' file systems take.
constexpr size_t kMaxNameLength = 255;

struct OpenKind {
  uint8_t access;
  uint8_t share;
};

OpenKind KindOf(OpenMode mode) {
  switch (mode) {
    case OpenMode::ReadExclusive: return {kRead, 0};
    case OpenMode::ReadShared: return {kRead, kRead | kWrite};
    case OpenMode::CreateExclusive: return {kRead | kWrite, 0};
    case OpenMode::CreateNew: return {kRead | kWrite, 0};
    case OpenMode::CreateShareRead: return {kWrite, kRead};
  }
  return {0, 0};
}

struct FileData {
  std::string content;
  int64_t generatedSize = -1;  // >= 0: content is computed by GeneratedByte
  // Open streams by what they access and what they deny to others.
  int opens = 0, readers = 0, writers = 0, denyRead = 0, denyWrite = 0;

  int64_t Size() const {
    return generatedSize >= 0 ? generatedSize : static_cast<int64_t>(content.size());
  }
  // Windows' rule: the new access must be shared by every open, and the new share must
  // allow every open's access.
  bool MayOpen(OpenKind kind) const {
    if ((kind.access & kRead) && denyRead > 0) return false;
    if ((kind.access & kWrite) && denyWrite > 0) return false;
    if (readers > 0 && !(kind.share & kRead)) return false;
    if (writers > 0 && !(kind.share & kWrite)) return false;
    return true;
  }
  void Track(OpenKind kind, int delta) {
    opens += delta;
    if (kind.access & kRead) readers += delta;
    if (kind.access & kWrite) writers += delta;
    if (!(kind.share & kRead)) denyRead += delta;
    if (!(kind.share & kWrite)) denyWrite += delta;
  }
  void Truncate() {
    content.clear();
    generatedSize = -1;
  }
};

struct Node {
  std::string name;
  uint32_t attr = 0;
  uint64_t created = 0;
  std::shared_ptr<FileData> file;  // null for a folder
  std::string linkTarget;  // a junction or symbolic link (a folder node): the folder it names
  // By upper-case name; the creation stamp, not the map, gives the enumeration order.
  std::map<std::string, std::shared_ptr<Node>> children;

  bool IsFolder() const { return !file; }
};

struct DriveState {
  MemoryPlatform::DriveInfo info;
  std::shared_ptr<Node> root;
};

// A path made absolute: drive, components (case as given), and whether it ended in "\".
struct Resolved {
  char drive = 0;  // upper-case letter; 0 for an empty path
  char driveAsGiven = 0;
  std::vector<std::string> parts;
  bool trailing = false;

  bool Valid() const { return drive != 0; }
  std::string Text(bool withTrailing = true) const {
    if (!Valid()) return "";
    std::string text{driveAsGiven, ':', '\\'};
    text += Join(parts, parts.size());
    if (withTrailing && trailing && !parts.empty()) text += '\\';
    return text;
  }
  std::string Key() const { return Upper(Text(false)); }
};

bool HasOpenStreams(const Node& node) {
  if (node.file) return node.file->opens > 0;
  for (const auto& [key, child] : node.children) {
    if (HasOpenStreams(*child)) return true;
  }
  return false;
}

std::string RootName(RegKey root) {
  if (root == kHKeyLocalMachine) return "HKEY_LOCAL_MACHINE";
  if (root == kHKeyCurrentUser) return "HKEY_CURRENT_USER";
  return "";
}

std::string NormalizeKeyPath(const std::string& path) {
  const std::vector<std::string> parts = SplitPath(Upper(path), false);
  return Join(parts, parts.size());
}

void CheckRoot(RegKey root) {
  if (RootName(root).empty()) throw std::invalid_argument("MemoryPlatform: not a registry root");
}

}  // namespace

struct MemoryPlatform::State {
  using KeyId = std::pair<RegKey, std::string>;  // root and upper-case path ("" = the root)
  struct RegValue {
    std::string name;
    uint32_t type;
    std::string data;
  };
  struct Search {
    std::shared_ptr<Node> folder;
    std::vector<std::string> keys;  // snapshot of matching entries, "." and ".." included
    size_t next = 0;
    uint32_t exclude = 0;
  };
  struct NthFault {
    Op op;
    int callNumber;  // absolute value of calls[op] that fails
    uint32_t error;
    bool persistent;
  };
  struct PathFault {
    Op op;
    std::string key;
    uint32_t error;
  };
  struct Found {
    uint32_t error = kErrorPathNotFound;  // 0, 2 (only the leaf is missing), 3 or 21
    std::shared_ptr<DriveState> drive;
    std::shared_ptr<Node> parent;  // the folder holding the leaf, when error is 0 or 2
    std::shared_ptr<Node> node;
  };
  struct LoadedLibrary {
    std::string pathAsGiven;
    std::string key;
  };
  class Stream;
  class Link;

  explicit State(MemoryPlatform& owner) : platform(owner), self(std::make_shared<State*>(this)) {}
  ~State() { *self = nullptr; }

  MemoryPlatform& platform;
  // Streams and links hold this so they can tell when the platform is gone.
  std::shared_ptr<State*> self;

  std::map<char, std::shared_ptr<DriveState>> drives;
  std::string currentDir = "C:\\";
  std::string windowsDir = "C:\\WINDOWS";
  uint32_t version = 0x0106;
  EnumerationOrder order = EnumerationOrder::Creation;
  uint64_t nextCreated = 1;

  std::map<uintptr_t, Search> searches;
  uintptr_t nextSearch = 1;
  int openStreams = 0;

  std::array<int, static_cast<size_t>(Op::kCount)> calls{};
  std::vector<NthFault> nthFaults;
  std::vector<PathFault> pathFaults;
  bool shellLinkFails = false;
  int32_t shellLinkResult = 0;
  bool shellLinkMissingInterface = false;

  std::map<KeyId, std::vector<RegValue>> keys;
  std::set<KeyId> refusedKeys;
  std::set<KeyId> writeRefusedKeys;
  std::map<RegKey, KeyId> keyHandles;
  RegKey nextKeyHandle = 1;

  std::map<std::string, Library> libraries;  // by upper-case full path
  std::map<LibraryHandle, LoadedLibrary> loaded;
  LibraryHandle nextLibrary = 1;
  std::map<ProcAddress, std::pair<LibraryHandle, std::string>> procs;
  ProcAddress nextProc = 0x1000;

  // Counts one call of `op` and returns the error it is to fail with, or 0.
  uint32_t Count(Op op, std::initializer_list<std::string> pathKeys) {
    const int number = ++calls[static_cast<size_t>(op)];
    for (const NthFault& fault : nthFaults) {
      if (fault.op == op &&
          (number == fault.callNumber || (fault.persistent && number > fault.callNumber))) {
        return fault.error;
      }
    }
    for (const PathFault& fault : pathFaults) {
      if (fault.op != op) continue;
      for (const std::string& key : pathKeys) {
        if (key == fault.key) return fault.error;
      }
    }
    return 0;
  }

  Resolved Resolve(const std::string& path) const {
    Resolved result;
    if (path.empty()) return result;
    const std::string& cwd = currentDir;  // always "X:\..." form
    const std::vector<std::string> cwdParts = SplitPath(cwd.substr(2), true);
    size_t pos = 0;
    if (path.size() >= 2 && path[1] == ':' && IsDriveLetter(path[0])) {
      result.driveAsGiven = path[0];
      result.drive = UpperChar(path[0]);
      pos = 2;
      // "D:x" is relative to D's current folder; only the current drive keeps one here.
      if (result.drive == UpperChar(cwd[0])) result.parts = cwdParts;
    } else {
      result.driveAsGiven = cwd[0];
      result.drive = UpperChar(cwd[0]);
      result.parts = cwdParts;
    }
    if (pos < path.size() && IsSeparator(path[pos])) result.parts.clear();
    for (std::string& part : SplitPath(path.substr(pos), true)) {
      if (part == ".") continue;
      if (part == "..") {
        if (!result.parts.empty()) result.parts.pop_back();
        continue;
      }
      result.parts.push_back(std::move(part));
    }
    result.trailing = IsSeparator(path.back());
    return result;
  }

  // Moves the entry found at `source` to the name `target`, whose folder `to` found.
  static void Relink(const Found& from, const Resolved& source, const Found& to,
                     const Resolved& target) {
    std::shared_ptr<Node> node = from.node;
    from.parent->children.erase(Upper(source.parts.back()));
    node->name = target.parts.back();
    to.parent->children[Upper(node->name)] = node;
  }

  // The rename of an open file through its handle (FileStream::RenameTo).
  uint32_t RenameOpen(const std::string& fromKey, const std::shared_ptr<FileData>& data,
                      const std::string& to);

  // The folder a link names, as a path passing through the link reaches it.
  static constexpr int kMaxLinkDepth = 8;
  Found FollowLink(const Node& link, int depth) const {
    if (depth >= kMaxLinkDepth) return Found{};
    Found target = Find(Resolve(link.linkTarget), depth + 1);
    if (target.error == 0 && !target.node->IsFolder()) return Found{};
    if (target.error != 0) target.error = kErrorPathNotFound;
    return target;
  }

  // Looks a path up the way the file system does: not-ready drives and missing parents fail.
  // A link on the way is passed through; a link at the end is the entry itself.
  Found Find(const Resolved& path, int depth = 0) const {
    Found found;
    const auto drive = drives.find(path.drive);
    if (drive == drives.end()) return found;
    if (!drive->second->info.ready) {
      found.error = kErrorNotReady;
      return found;
    }
    found.drive = drive->second;
    std::shared_ptr<Node> current = drive->second->root;
    for (size_t i = 0; i < path.parts.size(); ++i) {
      if (!current->IsFolder()) return found;
      const auto child = current->children.find(Upper(path.parts[i]));
      const bool leaf = i + 1 == path.parts.size();
      if (leaf) found.parent = current;
      if (child == current->children.end()) {
        if (leaf) found.error = kErrorFileNotFound;
        return found;
      }
      current = child->second;
      if (!leaf && !current->linkTarget.empty()) {
        const Found target = FollowLink(*current, depth);
        if (target.error != 0) return target;
        found.drive = target.drive;
        current = target.node;
      }
    }
    found.node = current;
    found.error = 0;
    return found;
  }

  // The test's view of the machine: ignores readiness and reports only present entries.
  std::shared_ptr<Node> Locate(const std::string& path) const {
    const Resolved resolved = Resolve(path);
    const auto drive = drives.find(resolved.drive);
    if (drive == drives.end()) return nullptr;
    std::shared_ptr<Node> current = drive->second->root;
    for (const std::string& part : resolved.parts) {
      const auto child = current->children.find(Upper(part));
      if (child == current->children.end()) return nullptr;
      current = child->second;
    }
    return current;
  }

  std::shared_ptr<DriveState> DriveFor(char letter) const {
    const auto drive = drives.find(UpperChar(letter));
    return drive == drives.end() ? nullptr : drive->second;
  }

  std::shared_ptr<Node> NewNode(const std::string& name, uint32_t attr, bool folder) {
    auto node = std::make_shared<Node>();
    node->name = name;
    node->attr = attr;
    node->created = nextCreated++;
    if (!folder) node->file = std::make_shared<FileData>();
    return node;
  }

  // Creates the first `depth` levels of `path` as folders where missing (building the machine).
  std::shared_ptr<Node> BuildFolders(const Resolved& path, size_t depth) {
    const auto drive = drives.find(path.drive);
    if (drive == drives.end()) {
      throw std::invalid_argument("MemoryPlatform: no drive for " + path.Text());
    }
    std::shared_ptr<Node> current = drive->second->root;
    for (size_t i = 0; i < depth; ++i) {
      auto& slot = current->children[Upper(path.parts[i])];
      if (!slot) slot = NewNode(path.parts[i], kAttrDirectory, true);
      if (!slot->IsFolder()) {
        throw std::invalid_argument("MemoryPlatform: a file is in the way of " + path.Text());
      }
      current = slot;
    }
    return current;
  }

  std::shared_ptr<Node> BuildFile(const std::string& path, uint32_t attr) {
    const Resolved resolved = Resolve(path);
    if (resolved.parts.empty()) throw std::invalid_argument("MemoryPlatform: no file name");
    auto parent = BuildFolders(resolved, resolved.parts.size() - 1);
    auto& slot = parent->children[Upper(resolved.parts.back())];
    if (!slot) slot = NewNode(resolved.parts.back(), 0, false);
    if (slot->IsFolder()) throw std::invalid_argument("MemoryPlatform: a folder is at " + path);
    slot->attr = attr & ~kAttrDirectory;
    return slot;
  }

  std::vector<std::shared_ptr<Node>> Ordered(const Node& folder) const {
    std::vector<std::shared_ptr<Node>> entries;
    for (const auto& [key, child] : folder.children) entries.push_back(child);
    if (order != EnumerationOrder::ByName) {
      std::sort(entries.begin(), entries.end(),
                [](const auto& a, const auto& b) { return a->created < b->created; });
      if (order == EnumerationOrder::ReverseCreation) std::reverse(entries.begin(), entries.end());
    }
    return entries;
  }

  int Deliver(Search& search, SearchRec& rec) const {
    while (search.next < search.keys.size()) {
      const std::string& key = search.keys[search.next++];
      if (key == "." || key == "..") {
        rec.Name = key;
        rec.Size = 0;
        rec.Attr = kAttrDirectory;
        return 0;
      }
      const auto child = search.folder->children.find(key);
      if (child == search.folder->children.end()) continue;  // removed since FindFirst
      const Node& node = *child->second;
      if (node.attr & search.exclude) continue;
      rec.Name = node.name;
      rec.Size = node.file ? node.file->Size() : 0;
      rec.Attr = node.attr;
      return 0;
    }
    return kErrorNoMoreFiles;
  }

  // Opens `path` for writing from scratch: creates the file or truncates it, giving its
  // bytes back to the drive. Returns the error, or 0 with `data` set.
  uint32_t PrepareCreate(const Resolved& path, OpenKind kind, std::shared_ptr<FileData>& data) {
    Found found = Find(path);
    if (found.error == kErrorFileNotFound) {
      if (path.parts.back().size() > kMaxNameLength) return kErrorInvalidName;
      auto node = NewNode(path.parts.back(), kAttrArchive, false);
      found.parent->children[Upper(node->name)] = node;
      data = node->file;
      return 0;
    }
    if (found.error != 0) return found.error;
    if (found.node->IsFolder() || (found.node->attr & kAttrReadOnly)) return kErrorAccessDenied;
    if (!found.node->file->MayOpen(kind)) return kErrorSharingViolation;
    found.drive->info.freeBytes += found.node->file->Size();
    found.node->file->Truncate();
    found.node->attr = kAttrArchive;
    data = found.node->file;
    return 0;
  }

  // The open key a handle or root stands for, combined with `subKey`.
  std::optional<KeyId> KeyTarget(RegKey parent, const std::string& subKey) const {
    KeyId base;
    if (!RootName(parent).empty()) {
      base = {parent, ""};
    } else {
      const auto handle = keyHandles.find(parent);
      if (handle == keyHandles.end()) return std::nullopt;
      base = handle->second;
    }
    const std::string sub = NormalizeKeyPath(subKey);
    if (!sub.empty()) base.second = base.second.empty() ? sub : base.second + "\\" + sub;
    return base;
  }

  static std::string KeyFaultName(const KeyId& key) {
    return key.second.empty() ? RootName(key.first) : RootName(key.first) + "\\" + key.second;
  }

  bool KeyPresent(const KeyId& key) const { return key.second.empty() || keys.count(key) > 0; }

  RegKey NewKeyHandle(const KeyId& key) {
    const RegKey handle = nextKeyHandle++;
    keyHandles[handle] = key;
    return handle;
  }

  static RegValue* FindValue(std::vector<RegValue>& values, const std::string& name) {
    const std::string wanted = Upper(name);
    for (RegValue& value : values) {
      if (Upper(value.name) == wanted) return &value;
    }
    return nullptr;
  }

  void SetValue(const KeyId& key, const std::string& name, uint32_t type, std::string data) {
    std::vector<RegValue>& values = keys[key];
    if (RegValue* value = FindValue(values, name)) {
      value->type = type;
      value->data = std::move(data);
    } else {
      values.push_back({name, type, std::move(data)});
    }
  }

  void CreateKeyLevels(const KeyId& key) {
    const std::vector<std::string> parts = SplitPath(key.second, false);
    for (size_t depth = 1; depth <= parts.size(); ++depth) keys[{key.first, Join(parts, depth)}];
  }

  uint32_t OpenKey(Op op, RegKey parent, const std::string& subKey, RegKey& result,
                   bool readOnly = false) {
    result = 0;
    const std::optional<KeyId> target = KeyTarget(parent, subKey);
    const uint32_t fault = Count(op, {target ? KeyFaultName(*target) : std::string()});
    if (!target) return kErrorInvalidHandle;
    if (fault != 0) return fault;
    if (refusedKeys.count(*target)) return kErrorAccessDenied;
    if (!readOnly && writeRefusedKeys.count(*target)) return kErrorAccessDenied;
    if (op == Op::RegCreateKey) {
      CreateKeyLevels(*target);
    } else if (!KeyPresent(*target)) {
      return kErrorFileNotFound;
    }
    result = NewKeyHandle(*target);
    return 0;
  }

  int32_t SaveLink(const std::string& path, const std::string& target,
                   const std::string& workingDirectory) {
    const Resolved resolved = Resolve(path);
    const uint32_t fault = Count(Op::LinkSave, {resolved.Key()});
    if (fault != 0) return HresultFromWin32(fault);
    std::shared_ptr<FileData> data;
    const uint32_t error = PrepareCreate(resolved, {kWrite, 0}, data);
    if (error != 0) return HresultFromWin32(error);
    const std::string content = "[link]\ntarget=" + target + "\nworkdir=" + workingDirectory + "\n";
    DriveInfo& drive = drives.at(resolved.drive)->info;
    if (static_cast<int64_t>(content.size()) > drive.freeBytes) {
      return HresultFromWin32(kErrorDiskFull);
    }
    drive.freeBytes -= static_cast<int64_t>(content.size());
    data->content = content;
    platform.savedLinks.push_back({path, target, workingDirectory});
    return 0;
  }

  std::optional<char> DriveLetter(int drive) const {
    if (drive == 0) return UpperChar(currentDir[0]);
    if (drive >= 1 && drive <= 26) return static_cast<char>('A' + drive - 1);
    return std::nullopt;
  }

  const DriveInfo* ReadyDrive(int drive) const {
    const std::optional<char> letter = DriveLetter(drive);
    if (!letter) return nullptr;
    const auto found = DriveFor(*letter);
    return found && found->info.ready ? &found->info : nullptr;
  }

  void CollectTree(const Node& folder, const std::string& prefix,
                   std::map<std::string, std::string>& out) const {
    for (const auto& [key, child] : folder.children) {
      const std::string relative = prefix + child->name;
      if (child->IsFolder()) {
        CollectTree(*child, relative + "\\", out);
      } else if (child->file->generatedSize >= 0) {
        const int64_t size = child->file->generatedSize;
        if (size > kMaxMaterialized) {
          throw std::length_error("MemoryPlatform::Tree: generated file too large: " + relative);
        }
        std::string content(static_cast<size_t>(size), '\0');
        for (int64_t i = 0; i < size; ++i) {
          content[static_cast<size_t>(i)] = static_cast<char>(GeneratedByte(i));
        }
        out[relative] = std::move(content);
      } else {
        out[relative] = child->file->content;
      }
    }
  }
};

// A stream shares the file's data, so it stays usable when the tree changes under it.
class MemoryPlatform::State::Stream final : public FileStream {
 public:
  Stream(State& state, std::shared_ptr<FileData> data, OpenKind kind, char drive,
         std::string pathKey)
      : owner_(state.self),
        data_(std::move(data)),
        kind_(kind),
        drive_(drive),
        pathKey_(std::move(pathKey)) {
    data_->Track(kind_, +1);
    ++state.openStreams;
  }
  ~Stream() override {
    data_->Track(kind_, -1);
    if (State* state = *owner_) --state->openStreams;
  }

  int64_t Read(void* buffer, int64_t count) override {
    State* state = *owner_;
    if (!state) return -1;
    const bool fault = state->Count(Op::Read, {pathKey_}) != 0;
    if (count < 0 || !(kind_.access & kRead)) return Fail(kErrorInvalidHandle);
    const auto drive = state->DriveFor(drive_);
    if (!drive || !drive->info.ready) return Fail(kErrorNotReady);
    if (drive->info.readError != 0) return Fail(drive->info.readError);
    const int64_t remaining = std::max<int64_t>(0, data_->Size() - position_);
    const int64_t n = std::min(fault ? count / 2 : count, remaining);
    auto* out = static_cast<uint8_t*>(buffer);
    if (data_->generatedSize >= 0) {
      for (int64_t i = 0; i < n; ++i) out[i] = GeneratedByte(position_ + i);
    } else if (n > 0) {
      std::memcpy(out, data_->content.data() + position_, static_cast<size_t>(n));
    }
    position_ += n;
    return n;
  }

  // A full disk first gives a short write (possibly of 0 bytes); a write after that, with
  // still no room, fails, as WriteFile then reports ERROR_DISK_FULL.
  int64_t Write(const void* buffer, int64_t count) override {
    State* state = *owner_;
    if (!state) return -1;
    const bool fault = state->Count(Op::Write, {pathKey_}) != 0;
    if (count < 0 || !(kind_.access & kWrite) || data_->generatedSize >= 0) {
      return Fail(kErrorInvalidHandle);
    }
    const auto drive = state->DriveFor(drive_);
    if (!drive || !drive->info.ready) return Fail(kErrorNotReady);
    int64_t n = fault ? count / 2 : count;
    const int64_t size = data_->Size();
    int64_t growth = std::max<int64_t>(0, position_ + n - size);
    const int64_t freeBytes = std::max<int64_t>(0, drive->info.freeBytes);
    if (growth > freeBytes) {
      if (diskFull_ && freeBytes == 0) return Fail(kErrorDiskFull);
      n -= growth - freeBytes;
      growth = freeBytes;
      diskFull_ = true;
    }
    std::string& content = data_->content;
    if (position_ + n > size) content.resize(static_cast<size_t>(position_ + n));
    if (n > 0) {
      std::memcpy(content.data() + position_, buffer, static_cast<size_t>(n));
    }
    drive->info.freeBytes -= growth;
    position_ += n;
    return n;
  }

  int64_t Size() override { return *owner_ ? data_->Size() : -1; }
  uint32_t LastError() const override { return lastError_; }

  uint32_t RenameTo(const std::string& path) override {
    State* state = *owner_;
    if (!state) return kErrorInvalidHandle;
    const uint32_t error = state->RenameOpen(pathKey_, data_, path);
    if (error == 0) pathKey_ = state->Resolve(path).Key();
    return error;
  }

 private:
  int64_t Fail(uint32_t error) {
    lastError_ = error;
    return -1;
  }

  std::shared_ptr<State*> owner_;
  std::shared_ptr<FileData> data_;
  OpenKind kind_;
  char drive_;
  std::string pathKey_;
  int64_t position_ = 0;
  bool diskFull_ = false;
  uint32_t lastError_ = 0;
};

// As a rename through an open handle: the file keeps its data and its open stream, the target
// name must be free and on the same drive, and no other open of the file may be in the way.
uint32_t MemoryPlatform::State::RenameOpen(const std::string& fromKey,
                                           const std::shared_ptr<FileData>& data,
                                           const std::string& to) {
  const Resolved source = Resolve(fromKey);
  const Resolved target = Resolve(to);
  if (const uint32_t fault = Count(Op::Rename, {source.Key(), target.Key()})) return fault;
  const Found found = Find(source);
  if (found.error != 0 || found.node->file != data) return kErrorFileNotFound;
  if (source.drive != target.drive) return kErrorNotSameDevice;
  if (target.parts.empty()) return kErrorAccessDenied;
  const Found existing = Find(target);
  if (existing.error == 0) return kErrorAlreadyExists;
  if (existing.error != kErrorFileNotFound) return existing.error;
  if (data->opens > 1) return kErrorSharingViolation;
  if (target.parts.back().size() > kMaxNameLength) return kErrorInvalidName;
  Relink(found, source, existing, target);
  return 0;
}

class MemoryPlatform::State::Link final : public ShellLink {
 public:
  explicit Link(std::shared_ptr<State*> owner) : owner_(std::move(owner)) {}
  int32_t SetPath(const std::string& target) override {
    target_ = target;
    return 0;
  }
  int32_t SetWorkingDirectory(const std::string& folder) override {
    workingDirectory_ = folder;
    return 0;
  }
  int32_t Save(const std::string& path) override {
    State* state = *owner_;
    return state ? state->SaveLink(path, target_, workingDirectory_) : kEFail;
  }

 private:
  std::shared_ptr<State*> owner_;
  std::string target_;
  std::string workingDirectory_;
};

// --- construction ---

MemoryPlatform::MemoryPlatform() : state_(std::make_unique<State>(*this)) {
  DriveInfo system;
  system.label = "SYSTEM";
  AddDrive('C', system);
  AddFolder("C:\\WINDOWS\\System32");
  AddFolder("C:\\WINDOWS\\Fonts");
}

MemoryPlatform::~MemoryPlatform() = default;

void MemoryPlatform::AddDrive(char letter, const DriveInfo& info) {
  auto drive = std::make_shared<DriveState>();
  drive->info = info;
  drive->root = std::make_shared<Node>();
  drive->root->attr = kAttrDirectory;
  state_->drives[UpperChar(letter)] = drive;
}

void MemoryPlatform::RemoveDrive(char letter) { state_->drives.erase(UpperChar(letter)); }

MemoryPlatform::DriveInfo& MemoryPlatform::Drive(char letter) {
  const auto drive = state_->DriveFor(letter);
  if (!drive) throw std::out_of_range(std::string("MemoryPlatform: no drive ") + letter);
  return drive->info;
}

void MemoryPlatform::AddFolder(const std::string& path, uint32_t attr) {
  const Resolved resolved = state_->Resolve(path);
  auto folder = state_->BuildFolders(resolved, resolved.parts.size());
  if (!resolved.parts.empty()) folder->attr = attr | kAttrDirectory;
}

void MemoryPlatform::AddFile(const std::string& path, const std::string& content, uint32_t attr) {
  auto file = state_->BuildFile(path, attr);
  file->file->content = content;
  file->file->generatedSize = -1;
}

void MemoryPlatform::AddGeneratedFile(const std::string& path, int64_t size, uint32_t attr) {
  auto file = state_->BuildFile(path, attr);
  file->file->content.clear();
  file->file->generatedSize = std::max<int64_t>(0, size);
}

uint8_t MemoryPlatform::GeneratedByte(int64_t index) {
  return static_cast<uint8_t>(((index * 7) + (index >> 13)) & 0xFF);
}

void MemoryPlatform::SetAttributes(const std::string& path, uint32_t attr) {
  auto node = state_->Locate(path);
  if (!node) throw std::invalid_argument("MemoryPlatform::SetAttributes: no entry " + path);
  node->attr = node->IsFolder() ? (attr | kAttrDirectory) : (attr & ~kAttrDirectory);
}

void MemoryPlatform::AddFolderLink(const std::string& path, const std::string& target) {
  const Resolved resolved = state_->Resolve(path);
  if (resolved.parts.empty()) throw std::invalid_argument("MemoryPlatform: a root is no link");
  auto parent = state_->BuildFolders(resolved, resolved.parts.size() - 1);
  auto link = state_->NewNode(resolved.parts.back(), kAttrDirectory | kAttrReparsePoint, true);
  link->linkTarget = target;
  parent->children[Upper(link->name)] = link;
}

void MemoryPlatform::AddShellLinkFile(const std::string& path, const std::string& target) {
  AddFile(path, "[link]\ntarget=" + target + "\nworkdir=\n");
}

void MemoryPlatform::SetEnumerationOrder(EnumerationOrder order) { state_->order = order; }
void MemoryPlatform::SetWindowsDirectory(const std::string& path) { state_->windowsDir = path; }
void MemoryPlatform::SetVersion(uint32_t version) { state_->version = version; }

// --- looking at the machine ---

bool MemoryPlatform::Exists(const std::string& path) const {
  return state_->Locate(path) != nullptr;
}

std::optional<std::string> MemoryPlatform::FileContent(const std::string& path) const {
  const auto node = state_->Locate(path);
  if (!node || node->IsFolder() || node->file->generatedSize >= 0) return std::nullopt;
  return node->file->content;
}

int64_t MemoryPlatform::FileSize(const std::string& path) const {
  const auto node = state_->Locate(path);
  return node && !node->IsFolder() ? node->file->Size() : -1;
}

uint32_t MemoryPlatform::Attributes(const std::string& path) const {
  const auto node = state_->Locate(path);
  return node ? node->attr : 0;
}

std::vector<std::string> MemoryPlatform::List(const std::string& folder) const {
  std::vector<std::string> names;
  const auto node = state_->Locate(folder);
  if (!node || !node->IsFolder()) return names;
  for (const auto& entry : state_->Ordered(*node)) names.push_back(entry->name);
  return names;
}

std::map<std::string, std::string> MemoryPlatform::Tree(const std::string& folder) const {
  std::map<std::string, std::string> files;
  const auto node = state_->Locate(folder);
  if (node && node->IsFolder()) state_->CollectTree(*node, "", files);
  return files;
}

int MemoryPlatform::OpenStreams() const { return state_->openStreams; }
int MemoryPlatform::OpenSearches() const { return static_cast<int>(state_->searches.size()); }

// --- faults ---

void MemoryPlatform::FailNth(Op op, int n, uint32_t error, bool persistent) {
  if (n < 1) throw std::invalid_argument("MemoryPlatform::FailNth: n counts from 1");
  state_->nthFaults.push_back({op, state_->calls[static_cast<size_t>(op)] + n, error, persistent});
}

void MemoryPlatform::FailPath(Op op, const std::string& path, uint32_t error) {
  std::string key;
  if (op == Op::RegCreateKey || op == Op::RegOpenKey || op == Op::RegSetValue) {
    key = NormalizeKeyPath(path);
    const std::string head = key.substr(0, key.find('\\'));
    const std::string rest = key.substr(head.size());
    if (head == "HKLM") key = "HKEY_LOCAL_MACHINE" + rest;
    if (head == "HKCU") key = "HKEY_CURRENT_USER" + rest;
  } else {
    key = state_->Resolve(path).Key();
  }
  state_->pathFaults.push_back({op, key, error});
}

void MemoryPlatform::ClearFaults() {
  state_->nthFaults.clear();
  state_->pathFaults.clear();
  state_->shellLinkFails = false;
}

int MemoryPlatform::Calls(Op op) const {
  const auto index = static_cast<size_t>(op);
  return index < state_->calls.size() ? state_->calls[index] : 0;
}

// --- registry: building and looking ---

void MemoryPlatform::RefuseKeyWrite(RegKey root, const std::string& keyPath) {
  state_->writeRefusedKeys.insert({root, NormalizeKeyPath(keyPath)});
}

void MemoryPlatform::RefuseKey(RegKey root, const std::string& keyPath) {
  CheckRoot(root);
  state_->refusedKeys.insert({root, NormalizeKeyPath(keyPath)});
}

void MemoryPlatform::SetRegistryValue(RegKey root, const std::string& keyPath,
                                      const std::string& name, uint32_t type,
                                      const std::string& rawData) {
  CheckRoot(root);
  const State::KeyId key{root, NormalizeKeyPath(keyPath)};
  state_->CreateKeyLevels(key);
  state_->SetValue(key, name, type, rawData);
}

bool MemoryPlatform::KeyExists(RegKey root, const std::string& keyPath) const {
  return !RootName(root).empty() && state_->KeyPresent({root, NormalizeKeyPath(keyPath)});
}

std::optional<std::pair<uint32_t, std::string>> MemoryPlatform::RegistryValue(
    RegKey root, const std::string& keyPath, const std::string& name) const {
  const auto key = state_->keys.find({root, NormalizeKeyPath(keyPath)});
  if (key == state_->keys.end()) return std::nullopt;
  const State::RegValue* value = State::FindValue(key->second, name);
  if (!value) return std::nullopt;
  return std::make_pair(value->type, value->data);
}

std::vector<std::string> MemoryPlatform::RegistryValueNames(RegKey root,
                                                            const std::string& keyPath) const {
  std::vector<std::string> names;
  const auto key = state_->keys.find({root, NormalizeKeyPath(keyPath)});
  if (key != state_->keys.end()) {
    for (const State::RegValue& value : key->second) names.push_back(value.name);
  }
  return names;
}

int MemoryPlatform::OpenKeys() const { return static_cast<int>(state_->keyHandles.size()); }

void MemoryPlatform::FailShellLink(int32_t hresult, bool missingInterface) {
  state_->shellLinkFails = true;
  state_->shellLinkResult = hresult;
  state_->shellLinkMissingInterface = missingInterface;
}

void MemoryPlatform::AddLibrary(const std::string& path, std::vector<std::string> exports) {
  state_->libraries[state_->Resolve(path).Key()] = Library{std::move(exports)};
}

// --- Platform: enumeration ---

int MemoryPlatform::FindFirst(const std::string& pattern, uint32_t attr, SearchRec& rec) {
  State& s = *state_;
  rec.handle = 0;
  size_t cut = pattern.find_last_of("\\/");
  if (cut == std::string::npos && pattern.size() >= 2 && pattern[1] == ':') cut = 1;
  const std::string folderText = cut == std::string::npos ? "." : pattern.substr(0, cut + 1);
  const std::string mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
  const Resolved folder = s.Resolve(folderText);
  const std::string folderKey = folder.Key();
  const std::string patternKey =
      folder.parts.empty() ? folderKey + Upper(mask) : folderKey + "\\" + Upper(mask);
  const uint32_t fault = s.Count(Op::FindFirst, {folderKey, patternKey});
  if (fault != 0) return static_cast<int>(fault);

  State::Found found = s.Find(folder);
  if (found.error == 0 && !found.node->linkTarget.empty()) found = s.FollowLink(*found.node, 0);
  if (found.error == kErrorNotReady) return static_cast<int>(kErrorNotReady);
  if (found.error != 0 || !found.node->IsFolder()) return static_cast<int>(kErrorPathNotFound);

  State::Search search;
  search.folder = found.node;
  search.exclude = ~attr & kSpecialAttrs;
  if (!mask.empty()) {
    // Real folders list "." and ".." first; a drive root has neither.
    if (!folder.parts.empty()) {
      for (const char* dots : {".", ".."}) {
        if (MatchMask(mask, dots)) search.keys.push_back(dots);
      }
    }
    for (const auto& entry : s.Ordered(*found.node)) {
      if (MatchMask(mask, entry->name)) search.keys.push_back(Upper(entry->name));
    }
  }
  if (s.Deliver(search, rec) != 0) return static_cast<int>(kErrorFileNotFound);
  const uintptr_t handle = s.nextSearch++;
  s.searches[handle] = std::move(search);
  rec.handle = handle;
  rec.excludeAttr = ~attr & kSpecialAttrs;
  return 0;
}

int MemoryPlatform::FindNext(SearchRec& rec) {
  const auto search = state_->searches.find(rec.handle);
  if (search == state_->searches.end()) return static_cast<int>(kErrorInvalidHandle);
  return state_->Deliver(search->second, rec);
}

void MemoryPlatform::FindClose(SearchRec& rec) {
  state_->searches.erase(rec.handle);
  rec.handle = 0;
}

// --- Platform: files and folders ---

bool MemoryPlatform::FileExists(const std::string& path) {
  const State::Found found = state_->Find(state_->Resolve(path));
  return found.error == 0 && !found.node->IsFolder();
}

uint32_t MemoryPlatform::GetAttributes(const std::string& path) {
  const State::Found found = state_->Find(state_->Resolve(path));
  return found.error == 0 ? found.node->attr : kNoAttributes;
}

bool MemoryPlatform::DirectoryExists(const std::string& path) {
  const State::Found found = state_->Find(state_->Resolve(path));
  return found.error == 0 && found.node->IsFolder();
}

bool MemoryPlatform::CreateDir(const std::string& path) {
  const Resolved resolved = state_->Resolve(path);
  if (state_->Count(Op::CreateDir, {resolved.Key()}) != 0) return false;
  const State::Found found = state_->Find(resolved);
  if (found.error != kErrorFileNotFound) return false;
  if (resolved.parts.back().size() > kMaxNameLength) return false;
  auto folder = state_->NewNode(resolved.parts.back(), kAttrDirectory, true);
  found.parent->children[Upper(folder->name)] = folder;
  return true;
}

bool MemoryPlatform::CreateProtectedDir(const std::string& path) {
  if (!CreateDir(path)) return false;
  protectedFolders.push_back(state_->Resolve(path).Text());
  return true;
}

// Windows refuses to delete read-only files and files open without delete sharing.
bool MemoryPlatform::DeleteFile(const std::string& path) {
  const Resolved resolved = state_->Resolve(path);
  if (state_->Count(Op::Delete, {resolved.Key()}) != 0) return false;
  const State::Found found = state_->Find(resolved);
  if (found.error != 0 || found.node->IsFolder()) return false;
  if ((found.node->attr & kAttrReadOnly) || found.node->file->opens > 0) return false;
  found.drive->info.freeBytes += found.node->file->Size();
  found.parent->children.erase(Upper(resolved.parts.back()));
  return true;
}

uint32_t MemoryPlatform::RemoveFile(const std::string& path) {
  const Resolved resolved = state_->Resolve(path);
  if (const uint32_t fault = state_->Count(Op::Delete, {resolved.Key()})) return fault;
  const State::Found found = state_->Find(resolved);
  if (found.error != 0) return found.error;
  if (found.node->IsFolder() || (found.node->attr & kAttrReadOnly)) return kErrorAccessDenied;
  if (found.node->file->opens > 0) return kErrorSharingViolation;
  found.drive->info.freeBytes += found.node->file->Size();
  found.parent->children.erase(Upper(resolved.parts.back()));
  return 0;
}

// A link goes as an empty folder would, whatever its target holds.
uint32_t MemoryPlatform::RemoveDir(const std::string& path) {
  const Resolved resolved = state_->Resolve(path);
  if (const uint32_t fault = state_->Count(Op::RemoveDir, {resolved.Key()})) return fault;
  const State::Found found = state_->Find(resolved);
  if (found.error != 0) return found.error;
  if (!found.parent) return kErrorAccessDenied;
  if (!found.node->IsFolder()) return kErrorDirectory;
  if (!found.node->children.empty()) return kErrorDirNotEmpty;
  if (HasOpenStreams(*found.node)) return kErrorSharingViolation;
  found.parent->children.erase(Upper(resolved.parts.back()));
  return 0;
}

// The folder and reparse bits are the entry's nature, which no attribute change alters.
uint32_t MemoryPlatform::ChangeAttributes(const std::string& path, uint32_t attr) {
  const Resolved resolved = state_->Resolve(path);
  if (const uint32_t fault = state_->Count(Op::SetAttributes, {resolved.Key()})) return fault;
  const State::Found found = state_->Find(resolved);
  if (found.error != 0) return found.error;
  if (!found.parent) return kErrorAccessDenied;
  constexpr uint32_t kNature = kAttrDirectory | kAttrReparsePoint;
  found.node->attr = (attr & ~kNature) | (found.node->attr & kNature);
  return 0;
}

bool MemoryPlatform::RenameFile(const std::string& from, const std::string& to) {
  return Move(from, to, false) == 0;
}

uint32_t MemoryPlatform::ReplaceFile(const std::string& from, const std::string& to) {
  return Move(from, to, true);
}

// A rename within one drive; with `replace`, an existing file `to` gives way unless Windows
// would refuse to replace it (a folder, a read-only file, a file in use).
uint32_t MemoryPlatform::Move(const std::string& from, const std::string& to, bool replace) {
  const Resolved source = state_->Resolve(from);
  const Resolved target = state_->Resolve(to);
  if (const uint32_t fault = state_->Count(Op::Rename, {source.Key(), target.Key()})) return fault;
  const State::Found found = state_->Find(source);
  if (found.error != 0) return found.error;
  if (!found.parent) return kErrorAccessDenied;
  // Moving between drives is a copy; the engine never asks for one.
  if (source.drive != target.drive) return kErrorNotSameDevice;
  const State::Found existing = state_->Find(target);
  if (existing.error == 0 && existing.node != found.node) {
    if (!replace) return kErrorAlreadyExists;
    if (existing.node->IsFolder() || found.node->IsFolder() ||
        (existing.node->attr & kAttrReadOnly)) {
      return kErrorAccessDenied;
    }
    if (existing.node->file->opens > 0) return kErrorSharingViolation;
    existing.drive->info.freeBytes += existing.node->file->Size();
    existing.parent->children.erase(Upper(target.parts.back()));
  } else if (existing.error != 0 && existing.error != kErrorFileNotFound) {
    return existing.error;
  }
  if (HasOpenStreams(*found.node)) return kErrorSharingViolation;
  if (target.parts.back().size() > kMaxNameLength) return kErrorInvalidName;
  const std::string sourceKey = source.Key();
  const std::string targetKey = target.Key();
  if (found.node->IsFolder() && targetKey.compare(0, sourceKey.size() + 1, sourceKey + "\\") == 0) {
    return kErrorAccessDenied;  // a folder cannot move into itself
  }
  state_->Relink(found, source, existing, target);
  return 0;
}

OpenResult MemoryPlatform::OpenFile(const std::string& path, OpenMode mode) {
  State& s = *state_;
  const Resolved resolved = s.Resolve(path);
  const bool create = mode == OpenMode::CreateExclusive || mode == OpenMode::CreateShareRead ||
                      mode == OpenMode::CreateNew;
  OpenResult result;
  result.error = s.Count(create ? Op::Create : Op::Open, {resolved.Key()});
  if (result.error != 0) return result;
  const OpenKind kind = KindOf(mode);
  std::shared_ptr<FileData> data;
  if (create) {
    // CREATE_NEW: an existing name, file or folder, is refused before anything else.
    const State::Found existing = s.Find(resolved);
    result.error = mode == OpenMode::CreateNew && existing.error == 0
                       ? kErrorFileExists
                       : s.PrepareCreate(resolved, kind, data);
  } else {
    const State::Found found = s.Find(resolved);
    if (found.error != 0) {
      result.error = found.error;
    } else if (found.node->IsFolder()) {
      result.error = kErrorAccessDenied;
    } else if (!found.node->file->MayOpen(kind)) {
      result.error = kErrorSharingViolation;
    } else {
      data = found.node->file;
    }
  }
  if (result.error == 0) {
    result.stream = std::make_unique<State::Stream>(s, data, kind, resolved.drive, resolved.Key());
  }
  return result;
}

std::string MemoryPlatform::ExpandFileName(const std::string& path) {
  return state_->Resolve(path).Text();
}

// --- Platform: drives and process environment ---

int64_t MemoryPlatform::DiskFree(int drive) {
  const DriveInfo* info = state_->ReadyDrive(drive);
  return info ? info->freeBytes : -1;
}

int64_t MemoryPlatform::DiskSize(int drive) {
  const DriveInfo* info = state_->ReadyDrive(drive);
  return info ? info->totalBytes : -1;
}

std::string MemoryPlatform::GetCurrentDir() { return state_->currentDir; }

uint32_t MemoryPlatform::SetCurrentDir(const std::string& path) {
  const Resolved resolved = state_->Resolve(path);
  const State::Found found = state_->Find(resolved);
  if (found.error == kErrorNotReady) return kErrorNotReady;
  if (found.error != 0 || !found.node->IsFolder()) return kErrorPathNotFound;
  state_->currentDir = resolved.Text(false);
  return 0;
}

std::string MemoryPlatform::GetWindowsDirectory() { return state_->windowsDir; }

SystemFolders MemoryPlatform::GetSystemFolders() {
  SystemFolders result = systemFolders;
  const std::string& windows = state_->windowsDir;
  result.folders.insert(result.folders.begin(),
                        {windows, windows + "\\System32", windows + "\\SysWOW64"});
  return result;
}
uint32_t MemoryPlatform::GetVersion() { return state_->version; }

std::string MemoryPlatform::SystemErrorMessage(uint32_t code) {
  switch (code) {
    case kErrorSuccess: return "The operation completed successfully.\r\n";
    case kErrorFileNotFound: return "The system cannot find the file specified.\r\n";
    case kErrorPathNotFound: return "The system cannot find the path specified.\r\n";
    case kErrorTooManyOpenFiles: return "The system cannot open the file.\r\n";
    case kErrorAccessDenied: return "Access is denied.\r\n";
    case kErrorInvalidHandle: return "The handle is invalid.\r\n";
    case kErrorInvalidDrive: return "The system cannot find the drive specified.\r\n";
    case kErrorNoMoreFiles: return "There are no more files.\r\n";
    case kErrorNotReady: return "The device is not ready.\r\n";
    case kErrorReadFault: return "The system cannot read from the specified device.\r\n";
    case kErrorSharingViolation:
      return "The process cannot access the file because it is being used by another "
             "process.\r\n";
    case kErrorHandleDiskFull: return "The disk is full.\r\n";
    case kErrorFileExists: return "The file exists.\r\n";
    case kErrorDiskFull: return "There is not enough space on the disk.\r\n";
    case kErrorInvalidName:
      return "The filename, directory name, or volume label syntax is incorrect.\r\n";
    case kErrorModNotFound: return "The specified module could not be found.\r\n";
    case kErrorProcNotFound: return "The specified procedure could not be found.\r\n";
    case kErrorDirNotEmpty: return "The directory is not empty.\r\n";
    case kErrorAlreadyExists: return "Cannot create a file when that file already exists.\r\n";
    case kErrorNoUnicodeTranslation:
      return "No mapping for the Unicode character exists in the target multi-byte code "
             "page.\r\n";
    default: return "";
  }
}

// --- Platform: registry ---

uint32_t MemoryPlatform::RegCreateKey(RegKey parent, const std::string& subKey, RegKey& result) {
  return state_->OpenKey(Op::RegCreateKey, parent, subKey, result);
}

uint32_t MemoryPlatform::RegOpenKey(RegKey parent, const std::string& subKey, RegKey& result) {
  return state_->OpenKey(Op::RegOpenKey, parent, subKey, result);
}

uint32_t MemoryPlatform::RegOpenKeyForReading(RegKey parent, const std::string& subKey,
                                              RegKey& result) {
  return state_->OpenKey(Op::RegOpenKey, parent, subKey, result, true);
}

uint32_t MemoryPlatform::RegQueryValue(RegKey key, const std::string& name, uint32_t& type,
                                       std::string& data) {
  const std::optional<State::KeyId> target = state_->KeyTarget(key, "");
  if (!target) return kErrorInvalidHandle;
  const auto values = state_->keys.find(*target);
  if (values == state_->keys.end()) return kErrorFileNotFound;
  const State::RegValue* value = State::FindValue(values->second, name);
  if (!value) return kErrorFileNotFound;
  type = value->type;
  data = value->data;
  return 0;
}

uint32_t MemoryPlatform::RegSetStringValue(RegKey key, const std::string& name,
                                           const std::string& data) {
  const std::optional<State::KeyId> target = state_->KeyTarget(key, "");
  const std::string keyName = target ? State::KeyFaultName(*target) : std::string();
  const uint32_t fault = state_->Count(Op::RegSetValue, {keyName, keyName + "\\" + Upper(name)});
  if (!target) return kErrorInvalidHandle;
  if (fault != 0) return fault;
  state_->SetValue(*target, name, kRegSz, data + '\0');
  return 0;
}

void MemoryPlatform::RegCloseKey(RegKey key) { state_->keyHandles.erase(key); }

uint32_t MemoryPlatform::RegDeleteKey(RegKey parent, const std::string& subKey) {
  State& s = *state_;
  const std::optional<State::KeyId> target = s.KeyTarget(parent, subKey);
  const uint32_t fault =
      s.Count(Op::RegDeleteKey, {target ? State::KeyFaultName(*target) : std::string()});
  if (!target) return kErrorInvalidHandle;
  if (fault != 0) return fault;
  if (target->second.empty() || s.refusedKeys.count(*target) || s.writeRefusedKeys.count(*target)) {
    return kErrorAccessDenied;
  }
  if (!s.keys.count(*target)) return kErrorFileNotFound;
  const std::string below = target->second + "\\";
  for (const auto& [key, values] : s.keys) {
    if (key.first == target->first && key.second.compare(0, below.size(), below) == 0) {
      return kErrorAccessDenied;
    }
  }
  s.keys.erase(*target);
  return 0;
}

// --- Platform: component objects and the shell ---

std::unique_ptr<ShellLink> MemoryPlatform::CreateShellLink() {
  if (state_->shellLinkFails) {
    if (state_->shellLinkMissingInterface) throw InstallError(kInterfaceNotSupported);
    const auto hresult = static_cast<uint32_t>(state_->shellLinkResult);
    const bool win32Facility = ((hresult >> 16) & 0x1FFF) == 7;
    throw InstallError(OleErrorMessage(state_->shellLinkResult,
                                       win32Facility ? SystemErrorMessage(hresult & 0xFFFF) : ""));
  }
  return std::make_unique<State::Link>(state_->self);
}

std::string MemoryPlatform::ShellLinkTarget(const std::string& linkPath) {
  const Resolved resolved = state_->Resolve(linkPath);
  if (state_->Count(Op::LinkRead, {resolved.Key()}) != 0) return "";
  const State::Found found = state_->Find(resolved);
  if (found.error != 0 || found.node->IsFolder()) return "";
  const std::string& content = found.node->file->content;
  const std::string head = "[link]\ntarget=";
  if (content.compare(0, head.size(), head) != 0) return "";
  return content.substr(head.size(), content.find('\n', head.size()) - head.size());
}

intptr_t MemoryPlatform::ShellExecute(uintptr_t ownerWindow, const std::string& verb,
                                      const std::string& file, const std::string& parameters,
                                      const std::string& directory, int showCommand) {
  launches.push_back({ownerWindow, verb, file, parameters, directory, showCommand});
  return 42;  // above 32 means success to ShellExecute callers
}

// --- Platform: libraries ---

LibraryHandle MemoryPlatform::LoadLibrary(const std::string& path) {
  State& s = *state_;
  const Resolved resolved = s.Resolve(path);
  const std::string key = resolved.Key();
  if (s.Count(Op::LoadLibrary, {key}) != 0) return 0;
  const State::Found found = s.Find(resolved);
  if (found.error != 0 || found.node->IsFolder() || !s.libraries.count(key)) return 0;
  const LibraryHandle handle = s.nextLibrary++;
  s.loaded[handle] = {path, key};
  libraryCalls.push_back("load " + path);
  return handle;
}

ProcAddress MemoryPlatform::GetProcAddress(LibraryHandle library, const std::string& name) {
  State& s = *state_;
  const auto loaded = s.loaded.find(library);
  if (loaded == s.loaded.end()) return 0;
  const auto entry = s.libraries.find(loaded->second.key);
  if (entry == s.libraries.end()) return 0;
  const auto& exports = entry->second.exports;
  if (std::find(exports.begin(), exports.end(), name) == exports.end()) return 0;
  for (const auto& [address, proc] : s.procs) {
    if (proc.first == library && proc.second == name) return address;
  }
  const ProcAddress address = s.nextProc++;
  s.procs[address] = {library, name};
  return address;
}

int32_t MemoryPlatform::CallEntryPoint(ProcAddress entry) {
  const auto proc = state_->procs.find(entry);
  // On Windows this would jump to a wild address; fail loudly instead.
  if (proc == state_->procs.end()) {
    throw std::logic_error("MemoryPlatform::CallEntryPoint: not an address of a loaded library");
  }
  libraryCalls.push_back("call " + proc->second.second);
  return 0;
}

void MemoryPlatform::FreeLibrary(LibraryHandle library) {
  State& s = *state_;
  const auto loaded = s.loaded.find(library);
  if (loaded == s.loaded.end()) return;
  libraryCalls.push_back("free " + loaded->second.pathAsGiven);
  s.loaded.erase(loaded);
  std::erase_if(s.procs, [library](const auto& proc) { return proc.second.first == library; });
}

// --- Platform: user interaction and process ---

void MemoryPlatform::ShowMessageDialog(const std::string& text, DialogKind kind) {
  dialogs.push_back({text, kind});
  // A copy: the callback may show another dialog, which would move the vector.
  const Dialog shown = dialogs.back();
  if (onDialog) onDialog(shown);
}

void MemoryPlatform::EndProcess() {
  ++endProcessCalls;
  throw ProcessEnded{};
}

}  // namespace installer
