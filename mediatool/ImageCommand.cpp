// "mediatool image": an ISO 9660 image with Joliet names and Rock Ridge, made by xorriso, then
// read back with this tool's own reader of the Joliet directory records: every name, size and
// position must be what the check assumed for a CD.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "mediatool/Commands.h"
#include "mediatool/DiscLayout.h"
#include "mediatool/Iso9660.h"
#include "mediatool/MediumTree.h"
#include "mediatool/Paths.h"

#if defined(_WIN32)
#include <process.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace mediatool {
namespace {

const char* const kImageUsage =
    "usage: mediatool image MEDIUM --label LABEL --out IMAGE.iso [--target cd|ntfs] [--xorriso PATH]\n"
    "\n"
    "Makes an ISO 9660 image of the medium folder MEDIUM with Joliet names (what Windows reads)\n"
    "and Rock Ridge, volume label LABEL (1 to 16 characters of A-Z, 0-9 and _), with xorriso.\n"
    "Names of 65 to 103 characters get xorriso's -joliet-long; longer ones cannot go on a disc.\n"
    "The image is then read back: every folder must list its names, in the Joliet records'\n"
    "order, as the check assumes for a CD, with the same sizes.\n"
    "The files' data lie in the order the installer reads them, so that a drive reads the disc\n"
    "in one run; the image is read back and its runs counted.\n"
    "  --target cd|ntfs     the order to lay the files out in: the installer's under Windows,\n"
    "                       which lists a disc's folder in its records' order (the default), or\n"
    "                       under Wine, which lists every folder without regard to letter case\n"
    "A symbolic link inside MEDIUM is an error and no image is written (links are not followed,\n"
    "not even to a file of the medium); MEDIUM itself may be a link to the folder.\n"
    "Exit status: 0 made and verified, 2 an error.\n";

// Runs the command and waits; its standard error goes to `log` (xorriso prints a banner there
// even when all is well, so the log is shown only when it fails).
int Run(const std::vector<std::string>& command, const std::string& log) {
#if defined(_WIN32)
  (void)log;
  std::vector<const char*> argv;
  for (const std::string& arg : command) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  return static_cast<int>(_spawnvp(_P_WAIT, argv[0], argv.data()));
#else
  std::vector<char*> argv;
  for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

size_t LongestName(const Entry& folder) {
  size_t longest = 0;
  for (const Entry& child : folder.children) {
    longest = std::max(longest, Utf16Length(child.name));
    if (child.folder) longest = std::max(longest, LongestName(child));
  }
  return longest;
}

struct Comparison {
  size_t folders = 0, files = 0;
  std::vector<std::string> differences;
};

void Compare(const Entry& expected, const DiscEntry& actual, const std::string& path, Comparison& c) {
  ++c.folders;
  std::string want, got;
  for (const Entry& e : expected.children) want += (want.empty() ? "" : ", ") + e.name;
  for (const DiscEntry& e : actual.children) got += (got.empty() ? "" : ", ") + e.name;
  if (want != got) {
    c.differences.push_back((path.empty() ? "/" : path) + ": the disc lists " + got + "; expected " + want);
    return;
  }
  for (size_t i = 0; i < expected.children.size(); ++i) {
    const Entry& e = expected.children[i];
    const DiscEntry& a = actual.children[i];
    const std::string rel = path + "/" + e.name;
    if (e.folder != a.folder || e.size != a.size) {
      c.differences.push_back(rel + ": " + (a.folder ? "a folder" : std::to_string(a.size) + " bytes") +
                              " on the disc, " + (e.folder ? "a folder" : std::to_string(e.size) + " bytes") +
                              " in the medium");
    } else if (e.folder) {
      Compare(e, a, rel, c);
    } else {
      ++c.files;
    }
  }
}

}  // namespace

int RunImageCommand(const std::vector<std::string>& args) {
  Options options;
  if (!ParseOptions("image", args, {"label", "out", "xorriso", "target"}, {"help"}, options)) return 2;
  if (options.Has("help")) {
    std::fputs(kImageUsage, stdout);
    return 0;
  }
  const std::string targetName = options.Get("target", "cd");
  if (targetName != "cd" && targetName != "ntfs") {
    std::fprintf(stderr, "mediatool image: --target is cd or ntfs, not \"%s\"\n", targetName.c_str());
    return 2;
  }
  const Target reader = targetName == "cd" ? Target::Cd : Target::Ntfs;
  const std::string label = options.Get("label");
  const std::string out = options.Get("out");
  if (options.positional.size() != 1 || label.empty() || out.empty()) {
    std::fputs(kImageUsage, stderr);
    return 2;
  }
  bool labelOk = label.size() <= 16;
  for (const char c : label) labelOk = labelOk && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_');
  if (!labelOk) {
    std::fprintf(stderr, "mediatool image: label \"%s\": 1 to 16 characters of A-Z, 0-9 and _ "
                         "(what both the ISO 9660 and the Joliet label can hold)\n", label.c_str());
    return 2;
  }
  const std::string medium = options.positional[0];
  Diagnostics diagnostics;
  Entry tree = ReadTree(medium, Target::Cd, diagnostics);
  for (const Diagnostic& d : diagnostics.items) {
    std::fprintf(stderr, "mediatool image: %s: %s\n", d.file.c_str(), d.message.c_str());
  }
  if (diagnostics.HasErrors()) return 2;
  // xorriso stores no DOS attributes: everything in the folder goes on the disc.
  const size_t longest = LongestName(tree);
  if (longest > 103) {
    std::fprintf(stderr, "mediatool image: a name of %zu characters: Joliet holds at most 103 "
                         "(mediatool check names the file)\n", longest);
    return 2;
  }
  std::error_code error;
  if (std::filesystem::is_directory(FsPath(out), error)) {
    std::fprintf(stderr, "mediatool image: %s is a folder\n", out.c_str());
    return 2;
  }
  const std::filesystem::path parent = FsPath(out).parent_path();
  if (!parent.empty() && !std::filesystem::is_directory(parent, error)) {
    std::fprintf(stderr, "mediatool image: %s: no such folder for the image\n", Utf8Of(parent).c_str());
    return 2;
  }
  std::filesystem::remove(FsPath(out), error);
  std::vector<std::string> command = {options.Get("xorriso", "xorriso"), "-as", "mkisofs", "-J", "-R"};
  if (longest > 64) command.push_back("-joliet-long");
  // xorriso would put a link named as the folder on the disc as a link: give it what it names.
  std::string folder = Utf8Of(std::filesystem::canonical(FsPath(medium), error));
  if (folder.empty()) folder = medium;
  for (const std::string& arg : {std::string("-V"), label, std::string("-quiet"), std::string("-o"), out, folder}) {
    command.push_back(arg);
  }
  // The files' data in the order the installer reads them, so a drive reads the disc in one
  // run: xorriso places a file with a higher weight at a lower block.
  const std::string weights = out + ".weights";
  {
    std::ofstream list(FsPath(weights), std::ios::binary);
    list << SortWeightList(InstallerReadingOrder(DiscTreeOf(tree), reader));
    if (!list) {
      std::fprintf(stderr, "mediatool image: cannot write %s\n", weights.c_str());
      return 2;
    }
  }
  command.insert(command.end() - 1, {"--sort-weight-list", weights});
  const std::string log = out + ".xorriso.log";
  const int status = Run(command, log);
  std::filesystem::remove(FsPath(weights), error);
  if (status != 0) {
    std::string text;
    if (ReadFileBytes(log, text)) std::fputs(text.c_str(), stderr);
    std::fprintf(stderr, "mediatool image: %s failed (%s %d)\n", command[0].c_str(),
                 status < 0 ? "could not start it," : "exit status", status);
    return 2;
  }
  std::filesystem::remove(FsPath(log), error);

  DiscImage image;
  std::string readError;
  if (!ReadDiscImage(out, image, readError)) {
    std::fprintf(stderr, "mediatool image: %s: %s\n", out.c_str(), readError.c_str());
    return 2;
  }
  Comparison comparison;
  Compare(tree, image.root, "", comparison);
  if (image.jolietLabel != label || image.primaryLabel != label) {
    comparison.differences.push_back("volume label \"" + image.jolietLabel + "\" (Joliet), \"" +
                                     image.primaryLabel + "\" (ISO 9660); expected \"" + label + "\"");
  }
  if (!image.rockRidge) comparison.differences.push_back("no Rock Ridge entries on the disc");
  const DiscRuns runs = CountRuns(InstallerReadingOrder(image.root, reader));
  if (runs.runs > 1) {
    std::string first;
    for (size_t i = 0; i < runs.breaks.size() && i < 5; ++i) first += "\n  " + runs.breaks[i];
    comparison.differences.push_back("the installer would read the disc in " + std::to_string(runs.runs) +
                                     " runs, not 1; the first breaks:" + first);
  }
  for (const std::string& difference : comparison.differences) {
    std::fprintf(stderr, "mediatool image: %s: %s\n", out.c_str(), difference.c_str());
  }
  if (!comparison.differences.empty()) return 2;
  std::printf("made %s: volume label %s, Joliet names%s and Rock Ridge\n", out.c_str(), label.c_str(),
              longest > 64 ? " (long, -joliet-long)" : "");
  std::printf("verified: %zu folders and %zu files read back from the Joliet records, names, sizes and "
              "order as the check assumes for a CD\n", comparison.folders, comparison.files);
  std::printf("the installer reads the disc in %d run%s%s\n", runs.runs, runs.runs == 1 ? "" : "s",
              reader == Target::Cd ? "" : " under Wine");
  return 0;
}

}  // namespace mediatool
