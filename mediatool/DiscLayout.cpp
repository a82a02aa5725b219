#include "mediatool/DiscLayout.h"

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

class Order {
 public:
  void Add(const DiscEntry& file, const std::string& path) {
    // A disc may hold names that differ in case only: two files. One read twice counts once.
    if (seen_.insert(path).second) files_.push_back({path, file.extent, file.size});
  }
  void AddTree(const DiscEntry& folder, const std::string& path) {
    for (const DiscEntry& child : folder.children) {
      const std::string childPath = path + "\\" + child.name;
      if (child.folder) {
        AddTree(child, childPath);
      } else {
        Add(child, childPath);
      }
    }
  }
  std::vector<DiscFile> Files() && { return std::move(files_); }

 private:
  std::set<std::string> seen_;
  std::vector<DiscFile> files_;
};

}  // namespace

std::vector<DiscFile> InstallerReadingOrder(const DiscEntry& root) {
  Order order;
  for (const char* name : {"autorun.inf", "setup.exe"}) {
    if (const DiscEntry* file = Child(root, name, false)) order.Add(*file, file->name);
  }
  if (const DiscEntry* cab = Child(root, "CAB", true)) order.AddTree(*cab, cab->name);
  // The System step copies every file of the folder with data (its list too) before it
  // reads the list, which by then is in the system's cache.
  if (const DiscEntry* system = Child(root, "System", true)) {
    for (const DiscEntry& child : system->children) {
      if (!child.folder) order.Add(child, system->name + "\\" + child.name);
    }
  }
  // The Fonts step reads its list first, then copies the fonts.
  if (const DiscEntry* fonts = Child(root, "Fonts", true)) {
    if (const DiscEntry* list = Child(*fonts, "FONT.TXT", false)) {
      order.Add(*list, fonts->name + "\\" + list->name);
    }
    for (const DiscEntry& child : fonts->children) {
      if (!child.folder) order.Add(child, fonts->name + "\\" + child.name);
    }
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
