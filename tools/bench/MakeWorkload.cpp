// Writes one of the benchmark's product trees, the same bytes for the same seed every time.
//   bench_workload A|B|C|D SEED DEST
//   A: 2,000 files of mixed sizes, 200,000,000 bytes in all, in nested folders
//   B: 10,000 files of 4096 bytes in 500 folders
//   C: one file of 1 GiB
//   D: about 2,000 files of mixed sizes, 100,000,000 bytes, in 150 folders with names of mixed
//      case, as real software has them (the CD benchmark's product)
// DEST must not exist yet. Names are plain ASCII so every contender of the benchmark (cp,
// xcopy, NSIS, setup.exe) reads them alike.
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

// splitmix64: tiny, fast, and fully determined by its seed.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  /// Uniform in [0, bound).
  uint64_t Below(uint64_t bound) { return Next() % bound; }

 private:
  uint64_t state_;
};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "bench_workload: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

void MakeDir(const std::string& path) {
  if (mkdir(path.c_str(), 0755) != 0) Fail("cannot create " + path);
}

// File contents come from their own stream, so the sizes drawn for a tree do not depend on how
// many bytes were written before.
void WriteFile(const std::string& path, uint64_t size, Random& data) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) Fail("cannot create " + path);
  static std::vector<uint64_t> buffer(1 << 17);  // 1 MiB
  while (size > 0) {
    const uint64_t bytes = size < buffer.size() * 8 ? size : buffer.size() * 8;
    for (size_t i = 0; i < (bytes + 7) / 8; ++i) buffer[i] = data.Next();
    if (std::fwrite(buffer.data(), 1, bytes, out) != bytes) Fail("cannot write " + path);
    size -= bytes;
  }
  if (std::fclose(out) != 0) Fail("cannot close " + path);
}

struct Tree {
  std::vector<std::string> dirs;  // relative, parents before children
  std::vector<std::string> files;
  std::vector<uint64_t> sizes;
};

// A file's size before scaling, drawn log-uniformly: one in ten files is large, 256 KiB to
// 8 MiB; the rest 256 B to 256 KiB.
uint64_t DrawRawSize(Random& random) {
  const bool large = random.Below(10) == 0;
  const int exponent = large ? 18 + static_cast<int>(random.Below(5))
                             : 8 + static_cast<int>(random.Below(10));
  return (uint64_t{1} << exponent) + random.Below(uint64_t{1} << exponent);
}

// The drawn sizes scaled to exactly `total` bytes in all, none empty (an empty file would not
// be installed at all).
std::vector<uint64_t> ScaledSizes(const std::vector<uint64_t>& raw, uint64_t total) {
  unsigned __int128 rawTotal = 0;
  for (const uint64_t value : raw) rawTotal += value;
  std::vector<uint64_t> sizes;
  uint64_t assigned = 0;
  for (size_t f = 0; f < raw.size(); ++f) {
    uint64_t size = static_cast<uint64_t>(raw[f] * total / rawTotal);
    if (size == 0) size = 1;
    if (f == raw.size() - 1) size = total > assigned ? total - assigned : 1;
    sizes.push_back(size);
    assigned += size;
  }
  return sizes;
}

// A: folders hang below a randomly chosen earlier folder (at most 5 deep); sizes are drawn
// log-uniformly, mostly small with a tail of large files, then scaled to the exact total.
Tree MixedTree(Random& random) {
  constexpr int kDirs = 150;
  constexpr int kFiles = 2000;
  constexpr uint64_t kTotal = 200000000;
  Tree tree;
  std::vector<int> depth;
  for (int d = 0; d < kDirs; ++d) {
    // -1: the tree's root. A folder already 5 levels deep takes no children.
    int parent = static_cast<int>(random.Below(static_cast<uint64_t>(d) + 1)) - 1;
    if (parent >= 0 && depth[parent] >= 4) parent = -1;
    char name[16];
    std::snprintf(name, sizeof name, "dir%03d", d);
    tree.dirs.push_back(parent < 0 ? name : tree.dirs[parent] + "/" + name);
    depth.push_back(parent < 0 ? 0 : depth[parent] + 1);
  }
  static const char* const kExtensions[] = {"dat", "txt", "bin", "dll", "exe", "png", "cab"};
  std::vector<uint64_t> raw;
  for (int f = 0; f < kFiles; ++f) {
    raw.push_back(DrawRawSize(random));
    const uint64_t dir = random.Below(kDirs + 1);  // kDirs: the tree's root
    char name[32];
    std::snprintf(name, sizeof name, "file%04d.%s", f, kExtensions[random.Below(7)]);
    tree.files.push_back(dir == kDirs ? name : tree.dirs[dir] + "/" + name);
  }
  tree.sizes = ScaledSizes(raw, kTotal);
  return tree;
}

// D: shaped like A (same nesting, same size law, 100 MB), named like a real product: words in
// lower case, capitalised or in capitals, often joined to a second word or a number by "-",
// "_" or nothing, numbered where a folder holds several alike, with extensions in either case.
// On a disc the installer under Windows meets capitals first (the Joliet order), under Wine
// it meets names without regard to case, while xorriso lays files out by their upper-cased
// 8.3 ISO 9660 names ("-" made "_"): each order differs from xorriso's throughout.
// No two names of a folder differ only in case, which no Windows folder could hold.
Tree ProductTree(Random& random) {
  constexpr int kDirs = 150;
  constexpr int kFiles = 2000;
  constexpr uint64_t kTotal = 100000000;
  static const char* const kFolderWords[] = {"bin", "lib", "data", "docs", "help", "plugins",
                                             "resources", "locale", "themes", "sdk", "include",
                                             "samples", "tools", "fonts", "images", "sounds",
                                             "scripts", "templates", "config", "share"};
  static const char* const kFileWords[] = {"readme", "setup", "data", "core", "icon", "main",
                                           "license", "manual", "index", "module", "table",
                                           "default", "skin", "lang", "update", "help"};
  static const char* const kExtensions[] = {"dll", "txt", "dat", "exe", "png", "ini",
                                            "htm", "bmp", "cab", "hlp"};
  // Capitalised twice as often as the other forms, as in most products.
  const auto styled = [&random](std::string word) {
    switch (random.Below(4)) {
      case 0: break;
      case 3:
        for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        break;
      default: word[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
    }
    return word;
  };
  const auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  // Names taken per folder ("" is the root), compared without case.
  std::vector<std::set<std::string>> taken(kDirs + 1);
  const auto unique = [&](size_t folder, const std::string& name) {
    return taken[folder].insert(lower(name)).second;
  };
  Tree tree;
  std::vector<int> depth;
  for (int d = 0; d < kDirs; ++d) {
    int parent = static_cast<int>(random.Below(static_cast<uint64_t>(d) + 1)) - 1;
    if (parent >= 0 && depth[parent] >= 4) parent = -1;
    const size_t slot = parent < 0 ? kDirs : static_cast<size_t>(parent);
    std::string name = styled(kFolderWords[random.Below(20)]);
    for (int n = 2; !unique(slot, name); ++n) name = name.substr(0, name.find_first_of("0123456789")) + std::to_string(n);
    tree.dirs.push_back(parent < 0 ? name : tree.dirs[parent] + "/" + name);
    depth.push_back(parent < 0 ? 0 : depth[parent] + 1);
  }
  std::vector<uint64_t> raw;
  for (int f = 0; f < kFiles; ++f) {
    raw.push_back(DrawRawSize(random));
    const uint64_t dir = random.Below(kDirs + 1);
    // Half the names join a second part: "icon-16", "Setup_Data", "CoreModule2", as real
    // products name their files.
    std::string stem = styled(kFileWords[random.Below(16)]);
    if (random.Below(2) == 0) {
      static const char* const kJoins[] = {"-", "_", ""};
      const std::string join = kJoins[random.Below(3)];
      stem += join + (random.Below(2) == 0 ? std::to_string(8 << random.Below(4))
                                           : styled(kFileWords[random.Below(16)]));
    }
    std::string extension = kExtensions[random.Below(10)];
    if (random.Below(3) == 0) extension = styled(extension);
    std::string name = stem + "." + extension;
    for (int n = 1; !unique(dir, name); ++n) name = stem + std::to_string(n) + "." + extension;
    tree.files.push_back(dir == kDirs ? name : tree.dirs[dir] + "/" + name);
  }
  tree.sizes = ScaledSizes(raw, kTotal);
  return tree;
}

// B: 20 folders with 24 subfolders each, 500 folders in all, 20 files in every one.
Tree SmallFilesTree() {
  Tree tree;
  for (int top = 0; top < 20; ++top) {
    char name[16];
    std::snprintf(name, sizeof name, "group%02d", top);
    const std::string group = name;
    tree.dirs.push_back(group);
    for (int sub = 0; sub < 24; ++sub) {
      std::snprintf(name, sizeof name, "/part%02d", sub);
      tree.dirs.push_back(group + name);
    }
  }
  int n = 0;
  for (const std::string& dir : tree.dirs) {
    for (int f = 0; f < 20; ++f, ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "/item%05d.dat", n);
      tree.files.push_back(dir + name);
      tree.sizes.push_back(4096);
    }
  }
  return tree;
}

Tree OneLargeFileTree() {
  Tree tree;
  tree.files.push_back("large.bin");
  tree.sizes.push_back(uint64_t{1} << 30);
  return tree;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::strlen(argv[1]) != 1 || argv[1][0] < 'A' || argv[1][0] > 'D') {
    std::fprintf(stderr, "usage: bench_workload A|B|C|D SEED DEST\n");
    return 2;
  }
  const char kind = argv[1][0];
  const uint64_t seed = std::strtoull(argv[2], nullptr, 0);
  const std::string dest = argv[3];
  Random random(seed * 3 + static_cast<uint64_t>(kind));
  Random data(~seed ^ static_cast<uint64_t>(kind) << 56);
  const Tree tree = kind == 'A'   ? MixedTree(random)
                    : kind == 'B' ? SmallFilesTree()
                    : kind == 'C' ? OneLargeFileTree()
                                  : ProductTree(random);
  MakeDir(dest);
  for (const std::string& dir : tree.dirs) MakeDir(dest + "/" + dir);
  uint64_t total = 0;
  for (size_t i = 0; i < tree.files.size(); ++i) {
    WriteFile(dest + "/" + tree.files[i], tree.sizes[i], data);
    total += tree.sizes[i];
  }
  std::printf("%c: %zu files, %zu folders, %llu bytes\n", kind, tree.files.size(),
              tree.dirs.size(), static_cast<unsigned long long>(total));
  return 0;
}
