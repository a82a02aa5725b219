// mediatool: the vendor's side of the installer. Builds a medium from a product, checks what
// a medium will install on the customer's machine, and makes its disc image.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mediatool/Commands.h"

#if defined(_WIN32)
#include <windows.h>

#include "engine/platform/Unicode.h"
#endif

namespace {

const char* const kUsage =
    "usage: mediatool COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  build   lay out a medium from a product folder and its programs\n"
    "  check   show what a medium will install, and warn about what its maker may not expect\n"
    "  image   make an ISO 9660 disc image (Joliet, Rock Ridge) of a medium with xorriso\n"
    "  uninstall-list  write the list of installed files into a medium laid out by hand\n"
    "\n"
    "mediatool COMMAND --help shows a command's options.\n"
    "Exit status: 0 success, 1 warnings (check), 2 errors or bad usage.\n";

int Main(std::vector<std::string> args) {
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "check") return mediatool::RunCheckCommand(args);
  if (command == "build") return mediatool::RunBuildCommand(args);
  if (command == "image") return mediatool::RunImageCommand(args);
  if (command == "uninstall-list") return mediatool::RunUninstallListCommand(args);
  std::fprintf(stderr, "mediatool: unknown command \"%s\"\n%s", command.c_str(), kUsage);
  return 2;
}

}  // namespace

#if defined(_WIN32)
// Arguments arrive as UTF-16 and are carried as UTF-8, which the console shows as such.
int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(installer::Utf16ToUtf8(std::wstring_view(argv[i])));
  return Main(std::move(args));
}
#else
int main(int argc, char** argv) { return Main(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
