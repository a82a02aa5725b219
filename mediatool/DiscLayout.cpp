#include "mediatool/DiscLayout.h"

#include <algorithm>
#include <set>

namespace mediatool {
namespace {

constexpr int64_t kBlock = 2048;

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

const DiscEntry* Child(const DiscEntry& folder, const std::string& name, bool wantFolder) {
  for (const DiscEntry& child : folder.children) {
    if (child.folder == wantFolder && Upper(child.name) == Upper(name)) return &child;
  }
  return nullptr;
}

// A folder's entries in the order the lister gives them.
std::vector<const DiscEntry*> Listed(const DiscEntry& folder, Target lister) {
  std::vector<const DiscEntry*> entries;
  for (const DiscEntry& child : folder.children) entries.push_back(&child);
  if (lister == Target::Ntfs) {
    std::stable_sort(entries.begin(), entries.end(), [](const DiscEntry* a, const DiscEntry* b) {
      return ComesBefore(Target::Ntfs, a->name, b->name);
    });
  }
  return entries;
}

class Order {
 public:
  explicit Order(Target lister) : lister_(lister) {}
  void Add(const DiscEntry& file, const std::string& path) {
    // A disc may hold names that differ in case only: two files. One read twice counts once.
    if (seen_.insert(path).second) files_.push_back({path, file.extent, file.size});
  }
  void AddTree(const DiscEntry& folder, const std::string& path) {
    for (const DiscEntry* child : Listed(folder, lister_)) {
      const std::string childPath = path + "\\" + child->name;
      if (child->folder) {
        AddTree(*child, childPath);
      } else {
        Add(*child, childPath);
      }
    }
  }
  /// The folder's files, not its folders, as the lister gives them.
  void AddFiles(const DiscEntry& folder) {
    for (const DiscEntry* child : Listed(folder, lister_)) {
      if (!child->folder) Add(*child, folder.name + "\\" + child->name);
    }
  }
  std::vector<DiscFile> Files() && { return std::move(files_); }

 private:
  Target lister_;
  std::set<std::string> seen_;
  std::vector<DiscFile> files_;
};

}  // namespace

std::vector<DiscFile> InstallerReadingOrder(const DiscEntry& root, Target lister) {
  Order order(lister);
  for (const char* name : {"autorun.inf", "setup.exe"}) {
    if (const DiscEntry* file = Child(root, name, false)) order.Add(*file, file->name);
  }
  if (const DiscEntry* cab = Child(root, "CAB", true)) order.AddTree(*cab, cab->name);
  // The System step copies every file of the folder with data (its list too) before it
  // reads the list, which by then is in the system's cache.
  if (const DiscEntry* system = Child(root, "System", true)) order.AddFiles(*system);
  // The Fonts step reads its list first, then copies the fonts.
  if (const DiscEntry* fonts = Child(root, "Fonts", true)) {
    if (const DiscEntry* list = Child(*fonts, "FONT.TXT", false)) {
      order.Add(*list, fonts->name + "\\" + list->name);
    }
    order.AddFiles(*fonts);
  }
  return std::move(order).Files();
}

DiscEntry DiscTreeOf(const Entry& root) {
  DiscEntry disc;
  disc.name = root.name;
  disc.folder = root.folder;
  disc.size = root.size;
  for (const Entry& child : root.children) disc.children.push_back(DiscTreeOf(child));
  return disc;
}

DiscRuns CountRuns(const std::vector<DiscFile>& order) {
  DiscRuns runs;
  const DiscFile* previous = nullptr;
  int64_t next = -1;  // the block after the previous file's data
  for (const DiscFile& file : order) {
    if (file.size <= 0 || file.extent < 0) continue;
    if (previous == nullptr) {
      runs.runs = 1;
    } else if (file.extent != next) {
      ++runs.runs;
      ++runs.jumps;
      if (file.extent < next) ++runs.backward;
      runs.breaks.push_back(previous->path + " -> " + file.path);
    }
    previous = &file;
    next = file.extent + (file.size + kBlock - 1) / kBlock;
  }
  return runs;
}

std::string SortWeightList(const std::vector<DiscFile>& order) {
  std::string list;
  int64_t weight = static_cast<int64_t>(order.size());
  for (const DiscFile& file : order) {
    std::string path = "/" + file.path;
    for (char& c : path) {
      if (c == '\\') c = '/';
    }
    list += std::to_string(weight--) + " " + path + "\n";
  }
  return list;
}

double SecondsLost(int jumps, double accessMs) { return jumps * accessMs / 1000.0; }

}  // namespace mediatool
