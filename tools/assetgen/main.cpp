// Writes the page pictures and the list glyphs of the installer into a folder, or checks a
// folder of page pictures (a vendor's own) against the pages' rules:
//   assetgen OUTPUT_DIR [FONT_DIR] --title TEXT | --title-file FILE
//   assetgen --check DIR
// FONT_DIR defaults to /usr/share/fonts/truetype (fonts-noto-core, fonts-dejavu-core); TEXT is
// the product's display title in UTF-8 (the product file's Title; FILE holds it, as the build
// passes it, so no shell or list syntax touches it). The same fonts, libraries and title give
// the same bytes on every run.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Assets.h"
#include "PictureRules.h"

namespace {

int Usage(const char* program) {
  std::fprintf(stderr, "usage: %s OUTPUT_DIR [FONT_DIR] --title TEXT | --title-file FILE\n       %s --check DIR\n",
               program, program);
  return 2;
}

// One line per problem, "DIR/welcome.gif: rule: detail"; 1 when there is any.
int Check(const std::string& dir) {
  const std::vector<assetgen::PictureProblem> problems = assetgen::CheckPictures(dir);
  for (const assetgen::PictureProblem& p : problems)
    std::printf("%s: %s: %s\n", (std::filesystem::path(dir) / p.file).string().c_str(), p.rule.c_str(), p.detail.c_str());
  return problems.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  std::string title;
  bool check = false, titled = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--title") {
      if (++i == argc) return Usage(argv[0]);
      title = argv[i];  // taken whole, even when it starts with "-"
      titled = true;
    } else if (arg == "--title-file") {
      if (++i == argc) return Usage(argv[0]);
      std::ifstream in(argv[i], std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "assetgen: cannot read %s\n", argv[i]);
        return 2;
      }
      title.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      titled = true;
    } else if (arg == "--check") {
      check = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage(argv[0]);
    } else {
      positional.push_back(arg);
    }
  }
  try {
    if (check) return positional.size() == 1 && !titled ? Check(positional[0]) : Usage(argv[0]);
    if (positional.empty() || positional.size() > 2 || !titled) return Usage(argv[0]);
    assetgen::WriteAssets(positional[0], positional.size() == 2 ? positional[1] : "/usr/share/fonts/truetype", title);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "assetgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
