// "mediatool check": the plan and the warnings for a medium folder.
#include <cstdio>

#include "mediatool/Check.h"
#include "mediatool/Commands.h"
#include "mediatool/ProductFile.h"

namespace mediatool {

bool Options::Has(const std::string& name) const {
  for (const auto& [n, v] : named) {
    if (n == name) return true;
  }
  return false;
}

std::string Options::Get(const std::string& name, const std::string& fallback) const {
  std::string value = fallback;
  for (const auto& [n, v] : named) {
    if (n == name) value = v;  // the last one counts
  }
  return value;
}

bool ParseOptions(const std::string& command, const std::vector<std::string>& args,
                  const std::vector<std::string>& withValue, const std::vector<std::string>& flags,
                  Options& options) {
  auto known = [](const std::vector<std::string>& list, const std::string& name) {
    for (const std::string& item : list) {
      if (item == name) return true;
    }
    return false;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0 || arg == "--") {
      options.positional.push_back(arg);
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    if (known(flags, name) && equals == std::string::npos) {
      options.named.emplace_back(name, "");
    } else if (known(withValue, name)) {
      if (equals != std::string::npos) {
        options.named.emplace_back(name, arg.substr(equals + 1));
      } else if (i + 1 < args.size()) {
        options.named.emplace_back(name, args[++i]);
      } else {
        std::fprintf(stderr, "mediatool %s: --%s needs a value\n", command.c_str(), name.c_str());
        return false;
      }
    } else {
      std::fprintf(stderr, "mediatool %s: unknown option %s (see mediatool %s --help)\n",
                   command.c_str(), arg.c_str(), command.c_str());
      return false;
    }
  }
  return true;
}

bool ReadIdentity(const std::string& command, const std::string& path, installer::ProductIdentity& identity) {
  const ProductFileResult result = ReadProductFile(path);
  for (const ProductFileError& error : result.errors) {
    std::fprintf(stderr, "mediatool %s: %s\n", command.c_str(), error.Text().c_str());
  }
  if (!result.ok()) return false;
  const ProductFile& p = result.product;
  identity = {p.name, p.folder, p.title, p.group, p.publisher, p.author, p.configFirstLine, p.configPublisher};
  return true;
}

namespace {

const char* const kCheckUsage =
    "usage: mediatool check MEDIUM [--target cd|ntfs] [--json] [options]\n"
    "\n"
    "Runs the installer's own engine over an in-memory copy of the medium folder MEDIUM and\n"
    "prints what it will install, then warnings, each naming its file. The medium is only read.\n"
    "A symbolic link inside MEDIUM is an error (links are not followed, not even to a file of the\n"
    "medium); MEDIUM itself may be a link to the folder.\n"
    "\n"
    "For setup.exe and CAB's <Name>.DAT and uninstall.DAT it says whether each is signed\n"
    "(Authenticode) and by whom, and warns when a SHA-256 signed program was changed after\n"
    "signing. It does not verify the certificate chain or the signature itself: osslsigncode\n"
    "verify does that.\n"
    "\n"
    "  --target cd|ntfs     how the customer reads the medium: from a disc (Joliet order,\n"
    "                       letter case counts; the default) or from an NTFS copy of it (or under\n"
    "                       Wine, which lists every folder that way)\n"
    "  --json               print the same as one JSON object\n"
    "  --product-file FILE  the product file setup.exe was built from (default: the names\n"
    "                       this tool was built with)\n"
    "  --install-dir PATH   the folder chosen in the wizard (default: the Windows drive's\n"
    "                       root and the product's folder)\n"
    "  --windows-dir PATH   the customer's Windows folder (default: C:\\windows)\n"
    "  --desktop PATH       the customer's Desktop folder (default: C:\\users\\user\\Desktop)\n"
    "  --start-menu PATH    the customer's Start Menu folder\n"
    "                       (default: C:\\users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu)\n"
    "  --free BYTES         free bytes on the target drive (default: plenty)\n"
    "  --image IMAGE.iso    a disc image of the medium, made by any tool: how many contiguous\n"
    "                       runs the installer reads it in, and a disc-jumps warning with the\n"
    "                       time a drive loses when its reading order jumps across the disc\n"
    "                       (with --target ntfs: in the order Wine lists the disc's folders)\n"
    "\n"
    "Exit status: 0 nothing to warn about, 1 warnings, 2 errors (bad input, or an installation\n"
    "that stops).\n";

}  // namespace

int RunCheckCommand(const std::vector<std::string>& args) {
  Options options;
  if (!ParseOptions("check", args,
                    {"target", "install-dir", "windows-dir", "desktop", "start-menu", "free", "product-file", "image"},
                    {"json", "help"}, options)) {
    return 2;
  }
  if (options.Has("help")) {
    std::fputs(kCheckUsage, stdout);
    return 0;
  }
  if (options.positional.size() != 1) {
    std::fputs(kCheckUsage, stderr);
    return 2;
  }
  CheckOptions check;
  check.medium = options.positional[0];
  const std::string target = options.Get("target", "cd");
  if (target == "cd") {
    check.target = Target::Cd;
  } else if (target == "ntfs") {
    check.target = Target::Ntfs;
  } else {
    std::fprintf(stderr, "mediatool check: --target is cd or ntfs, not \"%s\"\n", target.c_str());
    return 2;
  }
  if (options.Has("product-file") && !ReadIdentity("check", options.Get("product-file"), check.product)) return 2;
  check.installDir = options.Get("install-dir");
  check.windowsDir = options.Get("windows-dir", check.windowsDir);
  check.desktop = options.Get("desktop", check.desktop);
  check.startMenu = options.Get("start-menu", check.startMenu);
  for (const std::string* path : {&check.windowsDir, &check.installDir}) {
    if (!path->empty() && (path->size() < 3 || (*path)[1] != ':' || (*path)[2] != '\\')) {
      std::fprintf(stderr, "mediatool check: \"%s\" is not a full Windows path (X:\\...)\n", path->c_str());
      return 2;
    }
  }
  if (options.Has("free")) {
    const std::string free = options.Get("free");
    char* end = nullptr;
    check.freeBytes = std::strtoll(free.c_str(), &end, 10);
    if (free.empty() || *end != '\0' || check.freeBytes < 0) {
      std::fprintf(stderr, "mediatool check: --free takes a number of bytes, not \"%s\"\n", free.c_str());
      return 2;
    }
  }
  check.image = options.Get("image");
  const CheckResult result = CheckMedium(check);
  const std::string text = options.Has("json") ? FormatJson(result) : FormatText(result);
  std::fwrite(text.data(), 1, text.size(), stdout);
  // Errors go to standard error as well, so a script that keeps only stdout still sees why.
  for (const Diagnostic& item : result.diagnostics.items) {
    if (item.severity == Severity::Error) {
      std::fprintf(stderr, "mediatool check: %s%s%s\n", item.file.c_str(), item.file.empty() ? "" : ": ",
                   item.message.c_str());
    }
  }
  return result.diagnostics.ExitStatus();
}

}  // namespace mediatool
