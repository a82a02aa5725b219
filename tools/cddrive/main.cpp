// cddrive: serves a disc image as MOUNTDIR/disc.iso with the timing of a CD-ROM drive (one
// head, a read-ahead buffer, an access for every jump), and the drive's counts as
// MOUNTDIR/stats. fuseiso mounts the ISO file system on top; see README.md.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "DriveModel.h"
#include "DriveOptions.h"

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr const char* kDiscName = "/disc.iso";
constexpr const char* kStatsName = "/stats";

struct Drive {
  int fd = -1;
  std::uint64_t size = 0;
  struct timespec mtime {};
  bool delay = true;
  std::string statsPath;
  std::FILE* trace = nullptr;
  // One FUSE thread serves every request in turn: the reads are serialised through their
  // sleep, as a drive with one head serves them, and the stats file answers between two.
  cddrive::DriveModel model{cddrive::DriveParameters{}};
  Clock::time_point epoch;
};

Drive& TheDrive() { return *static_cast<Drive*>(fuse_get_context()->private_data); }

const char* KindName(cddrive::ReadKind kind) {
  switch (kind) {
    case cddrive::ReadKind::Sequential: return "seq";
    case cddrive::ReadKind::BufferHit: return "hit";
    case cddrive::ReadKind::Access: return "access";
  }
  return "?";
}

void* Init(fuse_conn_info*, fuse_config* cfg) {
  Drive& d = TheDrive();
  // Attributes may be cached; the data never is (direct_io per file).
  cfg->kernel_cache = 0;
  d.epoch = Clock::now();
  return &d;
}

void Destroy(void* data) {
  Drive& d = *static_cast<Drive*>(data);
  if (!d.statsPath.empty()) {
    if (std::FILE* f = std::fopen(d.statsPath.c_str(), "w")) {
      std::fputs(cddrive::FormatStats(d.model).c_str(), f);
      std::fclose(f);
    }
  }
  if (d.trace) std::fclose(d.trace);
}

std::string StatsText(Drive& d) { return cddrive::FormatStats(d.model); }

int GetAttr(const char* path, struct stat* st, fuse_file_info*) {
  Drive& d = TheDrive();
  std::memset(st, 0, sizeof *st);
  st->st_uid = getuid();
  st->st_gid = getgid();
  st->st_mtim = d.mtime;
  st->st_atim = d.mtime;
  st->st_ctim = d.mtime;
  if (std::strcmp(path, "/") == 0) {
    st->st_mode = S_IFDIR | 0555;
    st->st_nlink = 2;
  } else if (std::strcmp(path, kDiscName) == 0) {
    st->st_mode = S_IFREG | 0444;
    st->st_nlink = 1;
    st->st_size = static_cast<off_t>(d.size);
  } else if (std::strcmp(path, kStatsName) == 0) {
    st->st_mode = S_IFREG | 0444;
    st->st_nlink = 1;
    st->st_size = static_cast<off_t>(StatsText(d).size());
  } else {
    return -ENOENT;
  }
  return 0;
}

int ReadDir(const char* path, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
  if (std::strcmp(path, "/") != 0) return -ENOENT;
  for (const char* name : {".", "..", kDiscName + 1, kStatsName + 1})
    fill(buf, name, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  return 0;
}

int Open(const char* path, fuse_file_info* fi) {
  if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  if (std::strcmp(path, kDiscName) == 0) {
    // Every read must reach the drive: no page cache in between.
    fi->direct_io = 1;
    fi->keep_cache = 0;
    fi->fh = 0;
    return 0;
  }
  if (std::strcmp(path, kStatsName) == 0) {
    // The counts as they are at open, so that one cat sees one consistent text.
    fi->direct_io = 1;
    fi->fh = reinterpret_cast<std::uint64_t>(new std::string(StatsText(TheDrive())));
    return 0;
  }
  return -ENOENT;
}

int Release(const char*, fuse_file_info* fi) {
  delete reinterpret_cast<std::string*>(fi->fh);
  return 0;
}

int ReadStats(const std::string& text, char* buf, std::size_t size, off_t offset) {
  if (offset >= static_cast<off_t>(text.size())) return 0;
  std::size_t n = std::min(size, text.size() - static_cast<std::size_t>(offset));
  std::memcpy(buf, text.data() + offset, n);
  return static_cast<int>(n);
}

int ReadDisc(Drive& d, char* buf, std::size_t size, off_t offset) {
  if (offset < 0) return -EINVAL;
  if (static_cast<std::uint64_t>(offset) >= d.size) return 0;
  std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, d.size - offset));
  std::size_t done = 0;
  while (done < n) {
    ssize_t got = pread(d.fd, buf + done, n - done, offset + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got < 0 ? -errno : -EIO;
    done += static_cast<std::size_t>(got);
  }

  // With delays the model clock follows the wall clock, so the time the host spent between
  // two reads is idle time in which the drive reads ahead; without, the host takes none.
  double idle = 0;
  if (d.delay) idle = std::max(0.0, Millis(Clock::now() - d.epoch).count() - d.model.ClockMs());
  double arrival = d.model.ClockMs() + idle;
  cddrive::ReadCost cost = d.model.Read(static_cast<std::uint64_t>(offset), n, idle);
  if (d.trace) {
    std::fprintf(d.trace, "%.3f %lld %zu %s %.3f\n", arrival, static_cast<long long>(offset), n,
                 KindName(cost.kind), cost.ms);
    std::fflush(d.trace);
  }
  // Until the model's clock, not for the cost: time overslept comes back as idle time.
  if (d.delay) {
    auto wake = d.epoch + std::chrono::duration_cast<Clock::duration>(Millis(d.model.ClockMs()));
    std::this_thread::sleep_until(wake);
  }
  return static_cast<int>(n);
}

int Read(const char* path, char* buf, std::size_t size, off_t offset, fuse_file_info* fi) {
  if (std::strcmp(path, kStatsName) == 0)
    return ReadStats(*reinterpret_cast<std::string*>(fi->fh), buf, size, offset);
  if (std::strcmp(path, kDiscName) == 0) return ReadDisc(TheDrive(), buf, size, offset);
  return -ENOENT;
}

void Usage(std::FILE* out) {
  std::fputs(
      "usage: cddrive IMAGE MOUNTDIR\n"
      "         [-o speed=52,settle=42,seek=105,v1=1.2,buffer=2M,iface=33.3,minutes=80]\n"
      "         [--stats=FILE] [--trace=FILE] [--no-delay] [-f] [-d]\n"
      "Serves IMAGE as MOUNTDIR/disc.iso (read only) with the timing of a CD-ROM drive, and\n"
      "the drive's counts as MOUNTDIR/stats. Then: fuseiso -n MOUNTDIR/disc.iso CDROOT.\n"
      "  speed    the drive's rate at the outer edge, in 1x units (CAV)\n"
      "  settle   ms of every access; seek: ms of a full stroke (scaled by its square root)\n"
      "  v1       the 1x linear velocity, m/s; minutes: the disc's capacity\n"
      "  buffer   read-ahead buffer, bytes (K and M suffixes); iface: the bus, MB/s\n"
      "  --stats=FILE   write the counts to FILE when unmounted\n"
      "  --trace=FILE   one line per read: model ms, offset, length, seq|hit|access, cost ms\n"
      "  --no-delay     count, but do not sleep\n"
      "Other -o options and -f (foreground), -d go to FUSE. Unmount: fusermount -u MOUNTDIR\n",
      out);
}

}  // namespace

int main(int argc, char** argv) {
  Drive drive;
  cddrive::DriveParameters parameters;
  std::vector<std::string> fuseOptions{"ro", "fsname=cddrive", "subtype=cddrive"};
  std::vector<std::string> fuseFlags;
  std::vector<std::string> positional;
  std::string tracePath;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string list;
    if (arg == "-h" || arg == "--help") {
      Usage(stdout);
      return 0;
    } else if (arg == "-o") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "cddrive: -o needs a list of options\n");
        return 2;
      }
      list = argv[++i];
    } else if (arg.rfind("-o", 0) == 0) {
      list = arg.substr(2);
    } else if (arg.rfind("--stats=", 0) == 0) {
      drive.statsPath = arg.substr(8);
      continue;
    } else if (arg.rfind("--trace=", 0) == 0) {
      tracePath = arg.substr(8);
      continue;
    } else if (arg == "--no-delay") {
      drive.delay = false;
      continue;
    } else if (arg == "-f" || arg == "-d") {
      fuseFlags.push_back(arg);
      continue;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "cddrive: unknown option %s\n", arg.c_str());
      Usage(stderr);
      return 2;
    } else {
      positional.push_back(arg);
      continue;
    }
    std::string error = cddrive::TakeDriveOptions(list, parameters, fuseOptions);
    if (!error.empty()) {
      std::fprintf(stderr, "cddrive: %s\n", error.c_str());
      return 2;
    }
  }
  if (positional.size() != 2) {
    Usage(stderr);
    return 2;
  }

  drive.fd = open(positional[0].c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (drive.fd < 0 || fstat(drive.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fprintf(stderr, "cddrive: cannot read the image %s: %s\n", positional[0].c_str(),
                 drive.fd < 0 ? std::strerror(errno) : "not a regular file");
    return 2;
  }
  drive.size = static_cast<std::uint64_t>(st.st_size);
  drive.mtime = st.st_mtim;
  std::string error = cddrive::CheckDriveParameters(parameters, static_cast<double>(drive.size));
  if (!error.empty()) {
    std::fprintf(stderr, "cddrive: %s\n", error.c_str());
    return 2;
  }
  drive.model = cddrive::DriveModel(parameters, static_cast<double>(drive.size));
  if (!tracePath.empty()) {
    drive.trace = std::fopen(tracePath.c_str(), "w");
    if (!drive.trace) {
      std::fprintf(stderr, "cddrive: cannot write %s: %s\n", tracePath.c_str(),
                   std::strerror(errno));
      return 2;
    }
    std::fputs("# model_ms offset length kind cost_ms\n", drive.trace);
  }

  std::string joined;
  for (const std::string& o : fuseOptions) joined += (joined.empty() ? "" : ",") + o;
  // Single-threaded (see Drive); libfuse 3.14's multi-threaded loop also warns "Ignoring
  // invalid max threads value 4294967295" at every mount in the foreground.
  std::vector<std::string> fuseArgs{argv[0], positional[1], "-s", "-o", joined};
  fuseArgs.insert(fuseArgs.end(), fuseFlags.begin(), fuseFlags.end());
  std::vector<char*> fuseArgv;
  for (std::string& a : fuseArgs) fuseArgv.push_back(a.data());

  fuse_operations ops{};
  ops.init = Init;
  ops.destroy = Destroy;
  ops.getattr = GetAttr;
  ops.readdir = ReadDir;
  ops.open = Open;
  ops.release = Release;
  ops.read = Read;
  return fuse_main(static_cast<int>(fuseArgv.size()), fuseArgv.data(), &ops, &drive);
}
