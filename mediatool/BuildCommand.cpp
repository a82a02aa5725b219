// "mediatool build": lays out a medium the way the installer reads one. CAB holds the product
// with its two programs under their staging names, System the components with SYSTEM.TXT
// listing those that self-register, Fonts the fonts with FONT.TXT in the order the target
// enumerates that folder, named from each font's own name table. CAB's uninstall.lst names
// what the installation will leave under InstallDir, from the check's run of the engine.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "engine/InstallSession.h"
#include "mediatool/Check.h"
#include "mediatool/Commands.h"
#include "mediatool/FontInfo.h"
#include "mediatool/ListFile.h"
#include "mediatool/MediumTree.h"
#include "mediatool/Paths.h"
#include "mediatool/PeFile.h"

namespace mediatool {
namespace fs = std::filesystem;
namespace {

const char* const kBuildUsage =
    "usage: mediatool build --product DIR --main EXE --uninstaller EXE --setup EXE --out DIR\n"
    "                       [--system DIR] [--fonts DIR] [--target cd|ntfs] [--product-file FILE]\n"
    "\n"
    "Lays out a new medium in DIR (which must not exist or be empty):\n"
    "  CAB/                the product folder's tree, with the main program as <Name>.DAT\n"
    "                      and the uninstaller as uninstall.DAT (Name: from --product-file,\n"
    "                      the product file setup.exe was built from; default: the product\n"
    "                      this tool was built with)\n"
    "  CAB/uninstall.lst   every file the installation leaves in the installation folder, as\n"
    "                      the installer's own engine installs them on --target, for the\n"
    "                      uninstaller\n"
    "  System/SYSTEM.TXT   the files of --system; the list names those whose export table has\n"
    "                      DllRegisterServer\n"
    "  Fonts/FONT.TXT      the files of --fonts; the list pairs each file name with the name its\n"
    "                      name table gives (\"<family> (TrueType)\"), in the order the target\n"
    "                      enumerates the folder (--target, default cd)\n"
    "  setup.exe           the installer (--setup: the i686 build)\n"
    "  autorun.inf         starts setup.exe when the disc is inserted\n"
    "The lists are code page 1256 when every name fits it, UTF-8 with a byte-order mark otherwise.\n"
    "A symbolic link inside the product, system or fonts folder is an error, even one to a file of\n"
    "the same folder (put a copy there instead); a folder named here may itself be a link.\n"
    "Exit status: 0 built, 2 an error (each names its file; the other inputs are still checked).\n";

int gErrors = 0;

void Fail(const std::string& file, const std::string& message) {
  std::fprintf(stderr, "mediatool build: %s: %s\n", file.c_str(), message.c_str());
  ++gErrors;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) Fail(path, "cannot write the file");
  return static_cast<bool>(out);
}

bool CopyFile(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::copy_file(FsPath(from), FsPath(to), fs::copy_options::overwrite_existing, error);
  if (error) Fail(from, "cannot copy to " + to + ": " + error.message());
  return !error;
}

// Reads a folder the build copies from; what cannot go on the medium as it is (a link, what
// cannot be read) is reported by its path on this machine.
Entry ReadInput(const std::string& folder, Target target) {
  Diagnostics diagnostics;
  Entry tree = ReadTree(folder, target, diagnostics);
  for (const Diagnostic& d : diagnostics.items) {
    if (d.file == folder) {
      Fail(folder, d.message);
      continue;
    }
    std::string relative = d.file;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    Fail(folder + "/" + relative, d.message);
  }
  return tree;
}

// Copies the tree as it was read, entry by entry, so that nothing the check did not see (a
// link above all) is copied.
void CopyTree(const Entry& folder, const std::string& to) {
  std::error_code error;
  fs::create_directories(FsPath(to), error);
  if (error) Fail(to, "cannot make the folder: " + error.message());
  for (const Entry& entry : folder.children) {
    const std::string target = to + "/" + entry.name;
    if (entry.folder) {
      CopyTree(entry, target);
    } else {
      CopyFile(entry.diskPath, target);
    }
  }
}

// The regular files directly in `folder`, in the target's order; anything else is reported.
std::vector<Entry> FilesOf(const std::string& folder, Target target, const char* what) {
  Entry tree = ReadInput(folder, target);
  std::vector<Entry> files;
  for (Entry& entry : tree.children) {
    if (entry.folder) {
      Fail(entry.diskPath, std::string("a folder in the ") + what + " folder: the installer takes only its files");
    } else if (entry.size == 0) {
      Fail(entry.diskPath, "empty: the installer would leave it out");
    } else {
      files.push_back(std::move(entry));
    }
  }
  return files;
}

Entry FileEntry(const std::string& name, const std::string& diskPath) {
  Entry entry;
  entry.name = name;
  entry.diskPath = diskPath;
  std::error_code error;
  entry.size = static_cast<int64_t>(fs::file_size(FsPath(diskPath), error));
  if (error) entry.size = 0;
  return entry;
}

std::optional<std::vector<std::string>> ListFromCheck(const CheckResult& result, const std::string& where) {
  if (!result.plan.completed) {
    Fail(where, "the installation from this medium stops with \"" + result.plan.stoppedBy +
                    "\", so its list of installed files cannot be made");
    return std::nullopt;
  }
  return UninstallListLines(result.plan);
}

// The check's run over the medium the build is about to write: CAB with the staged programs
// and setup.exe, which decides nothing under InstallDir beyond that.
std::optional<std::vector<std::string>> PlannedUninstallList(const Entry& productTree, const std::string& mainStaged,
                                                             const std::string& main, const std::string& uninstaller,
                                                             const std::string& setup,
                                                             const installer::ProductIdentity& identity,
                                                             Target target) {
  Entry root;
  root.folder = true;
  Entry cab = productTree;
  cab.name = "CAB";
  cab.folder = true;
  cab.attr = 0;
  cab.children.push_back(FileEntry(mainStaged, main));
  cab.children.push_back(FileEntry("uninstall.DAT", uninstaller));
  root.children.push_back(std::move(cab));
  root.children.push_back(FileEntry("setup.exe", setup));
  SortTree(root, target);
  CheckOptions check;
  check.product = identity;
  check.target = target;
  return ListFromCheck(CheckMediumTree(check, root), "--product");
}

const char* const kUninstallListUsage =
    "usage: mediatool uninstall-list MEDIUM [--target cd|ntfs] [--product-file FILE]\n"
    "\n"
    "Writes MEDIUM's CAB/uninstall.lst, the list of files the installation leaves in the\n"
    "installation folder, for a medium laid out without mediatool build (which writes it).\n"
    "The list is made as the check makes its plan, by the installer's own engine; an existing\n"
    "list is replaced.\n"
    "Exit status: 0 written, 2 an error.\n";

}  // namespace

int RunUninstallListCommand(const std::vector<std::string>& args) {
  Options options;
  if (!ParseOptions("uninstall-list", args, {"target", "product-file"}, {"help"}, options)) return 2;
  if (options.Has("help")) {
    std::fputs(kUninstallListUsage, stdout);
    return 0;
  }
  if (options.positional.size() != 1) {
    std::fputs(kUninstallListUsage, stderr);
    return 2;
  }
  gErrors = 0;
  CheckOptions check;
  check.medium = options.positional[0];
  const std::string targetName = options.Get("target", "cd");
  if (targetName != "cd" && targetName != "ntfs") {
    std::fprintf(stderr, "mediatool uninstall-list: --target is cd or ntfs, not \"%s\"\n", targetName.c_str());
    return 2;
  }
  check.target = targetName == "cd" ? Target::Cd : Target::Ntfs;
  if (options.Has("product-file") && !ReadIdentity("uninstall-list", options.Get("product-file"), check.product)) {
    return 2;
  }
  Diagnostics diagnostics;
  const Entry root = ReadTree(check.medium, check.target, diagnostics);
  const Entry* cab = FindChild(root, "CAB");
  if (diagnostics.HasErrors() || !cab || !cab->folder) {
    for (const Diagnostic& d : diagnostics.items) {
      std::fprintf(stderr, "mediatool uninstall-list: %s: %s\n", d.file.c_str(), d.message.c_str());
    }
    if (!cab || !cab->folder) std::fprintf(stderr, "mediatool uninstall-list: %s: no CAB folder\n", check.medium.c_str());
    return 2;
  }
  const auto lines = ListFromCheck(CheckMediumTree(check, root), check.medium);
  if (!lines) return 2;
  const std::string path = check.medium + "/" + cab->name + "/" + kUninstallListName;
  if (!WriteBytes(path, EncodeUninstallList(check.product.name, *lines))) return 2;
  std::printf("wrote %s: %zu files\n", path.c_str(), lines->size());
  return 0;
}

int RunBuildCommand(const std::vector<std::string>& args) {
  Options options;
  if (!ParseOptions("build", args, {"product", "main", "uninstaller", "setup", "out", "system", "fonts", "target", "product-file"},
                    {"help"}, options)) {
    return 2;
  }
  if (options.Has("help")) {
    std::fputs(kBuildUsage, stdout);
    return 0;
  }
  gErrors = 0;
  installer::ProductIdentity identity = installer::BuiltInProduct();
  if (options.Has("product-file") && !ReadIdentity("build", options.Get("product-file"), identity)) return 2;
  const std::string mainStaged = identity.name + ".DAT";
  for (const char* required : {"product", "main", "uninstaller", "setup", "out"}) {
    if (options.Get(required).empty()) {
      std::fprintf(stderr, "mediatool build: --%s is required\n%s", required, kBuildUsage);
      return 2;
    }
  }
  if (!options.positional.empty()) {
    std::fprintf(stderr, "mediatool build: unexpected argument \"%s\"\n", options.positional[0].c_str());
    return 2;
  }
  const std::string targetName = options.Get("target", "cd");
  if (targetName != "cd" && targetName != "ntfs") {
    std::fprintf(stderr, "mediatool build: --target is cd or ntfs, not \"%s\"\n", targetName.c_str());
    return 2;
  }
  const Target target = targetName == "cd" ? Target::Cd : Target::Ntfs;
  const std::string out = options.Get("out");
  const std::string product = options.Get("product");
  std::error_code error;

  // Every input is looked at before anything is written, so one run names every problem.
  if (!fs::is_directory(FsPath(product), error)) Fail(product, "no such folder (--product)");
  for (const char* program : {"main", "uninstaller", "setup"}) {
    const std::string path = options.Get(program);
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
      Fail(path, std::string("cannot read the file (--") + program + ")");
      continue;
    }
    const PeInfo pe = ReadPe(bytes);
    if (!pe.valid) {
      Fail(path, std::string("not a Windows program (--") + program + "): " + pe.error);
    } else if (std::string(program) == "setup" && pe.machine != kMachineI386) {
      std::fprintf(stderr, "mediatool build: note: %s is built for %s, not i686\n", path.c_str(),
                   MachineName(pe.machine).c_str());
    }
  }
  if (fs::exists(FsPath(out), error) && !(fs::is_directory(FsPath(out), error) && fs::is_empty(FsPath(out), error))) {
    Fail(out, "exists and is not an empty folder (--out); the build writes a new medium");
  }
  Entry productTree;
  if (fs::is_directory(FsPath(product), error)) {
    productTree = ReadInput(product, target);
    for (const std::string& staged : {mainStaged, std::string("uninstall.DAT"), std::string(kUninstallListName)}) {
      if (const Entry* clash = FindChild(productTree, staged)) {
        Fail(clash->diskPath, std::string("the product folder has a file named ") + staged +
                                  ", which the build fills itself (from --main, --uninstaller, or the list "
                                  "of installed files)");
      }
    }
  }

  std::vector<Entry> components;
  std::vector<std::string> registering;
  if (options.Has("system")) {
    components = FilesOf(options.Get("system"), target, "system");
    for (const Entry& file : components) {
      std::string bytes;
      if (SameNameIgnoringCase(file.name, "SYSTEM.TXT")) {
        Fail(file.diskPath, "the build writes SYSTEM.TXT itself");
        continue;
      }
      if (!ReadFileBytes(file.diskPath, bytes)) {
        Fail(file.diskPath, "cannot read the file");
        continue;
      }
      const PeInfo pe = ReadPe(bytes);
      if (!pe.valid) {
        Fail(file.diskPath, "not a component: " + pe.error);
      } else if (pe.Exports("DllRegisterServer")) {
        registering.push_back(file.name);
      }
    }
  }
  std::vector<Entry> fonts;
  std::vector<std::string> fontLines;
  if (options.Has("fonts")) {
    fonts = FilesOf(options.Get("fonts"), target, "fonts");
    if (fonts.size() > static_cast<size_t>(installer::kFontTableCapacity)) {
      Fail(options.Get("fonts"), std::to_string(fonts.size()) +
                                     " fonts: the installer names at most 20, the rest would get no name");
    }
    for (const Entry& file : fonts) {
      if (SameNameIgnoringCase(file.name, "FONT.TXT")) {
        Fail(file.diskPath, "the build writes FONT.TXT itself");
        continue;
      }
      std::string bytes;
      if (!ReadFileBytes(file.diskPath, bytes)) {
        Fail(file.diskPath, "cannot read the file");
        continue;
      }
      const FontInfo info = ReadFontInfo(bytes);
      if (!info.valid) {
        Fail(file.diskPath, info.error);
        continue;
      }
      // Files come in the target's enumeration order, which is the order the pairs must have.
      fontLines.push_back(file.name);
      fontLines.push_back(info.displayName);
    }
  }
  // The list comes from the engine's run over the medium as it will be laid out, so it is
  // known, and the run is known to finish, before anything is written.
  std::vector<std::string> uninstallList;
  if (gErrors == 0) {
    if (const auto lines = PlannedUninstallList(productTree, mainStaged, options.Get("main"),
                                                options.Get("uninstaller"), options.Get("setup"), identity, target)) {
      uninstallList = *lines;
    }
  }
  if (gErrors > 0) {
    std::fprintf(stderr, "mediatool build: %d errors, nothing written\n", gErrors);
    return 2;
  }

  const std::string cab = out + "/CAB";
  CopyTree(productTree, cab);
  CopyFile(options.Get("main"), cab + "/" + mainStaged);
  CopyFile(options.Get("uninstaller"), cab + "/uninstall.DAT");
  if (options.Has("system")) {
    fs::create_directories(FsPath(out + "/System"), error);
    for (const Entry& file : components) CopyFile(file.diskPath, out + "/System/" + file.name);
    WriteBytes(out + "/System/SYSTEM.TXT", EncodeListFile(registering));
  }
  if (options.Has("fonts")) {
    fs::create_directories(FsPath(out + "/Fonts"), error);
    for (const Entry& file : fonts) CopyFile(file.diskPath, out + "/Fonts/" + file.name);
    WriteBytes(out + "/Fonts/FONT.TXT", EncodeListFile(fontLines));
  }
  WriteBytes(cab + "/" + kUninstallListName, EncodeUninstallList(identity.name, uninstallList));
  CopyFile(options.Get("setup"), out + "/setup.exe");
  WriteBytes(out + "/autorun.inf", "[autorun]\r\nopen=setup.exe\r\n");
  if (gErrors > 0) return 2;

  std::printf("built %s for %s\n", out.c_str(), target == Target::Cd ? "a CD" : "an NTFS copy");
  std::printf("  CAB: %s with %s and uninstall.DAT; uninstall.lst lists %zu files\n", product.c_str(),
              mainStaged.c_str(), uninstallList.size());
  std::printf("  System: %zu files; SYSTEM.TXT lists %zu\n", components.size(), registering.size());
  for (const std::string& name : registering) std::printf("    %s\n", name.c_str());
  std::printf("  Fonts: %zu files; FONT.TXT pairs, in enumeration order:\n", fonts.size());
  for (size_t i = 0; i + 1 < fontLines.size(); i += 2) {
    std::printf("    %s = %s\n", fontLines[i + 1].c_str(), fontLines[i].c_str());
  }
  std::printf("  setup.exe, autorun.inf\n");
  return 0;
}

}  // namespace mediatool
