// Writes the page pictures and the list glyphs of the installer into a folder, or checks a
// folder of page pictures (a vendor's own) against the pages' rules:
//   assetgen OUTPUT_DIR [FONT_DIR]
//   assetgen --check DIR
// FONT_DIR defaults to /usr/share/fonts/truetype (fonts-noto-core, fonts-dejavu-core). The same
// fonts and libraries give the same bytes on every run.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "Glyphs.h"
#include "Icon.h"
#include "Outline.h"
#include "Pages.h"
#include "Palette.h"
#include "PictureRules.h"

using namespace assetgen;

namespace {

void WritePicture(const std::string& path, const Outline& outline, const Fonts& fonts,
                  void (*paint)(Canvas&, const Fonts&)) {
  Canvas canvas(kPictureWidth, kPictureHeight, colour::kRimDark);
  DrawFrame(canvas, outline, fonts);
  paint(canvas, fonts);
  // Flat fills keep exact entries so text labels drawn at run time sit on one known colour.
  const std::vector<Rgb> pinned = {colour::kPanel, colour::kWhite, colour::kRimDark, colour::kRim,
                                   colour::kInk, colour::kBlack, colour::kBoxBorder};
  WriteGif(Quantise(canvas, outline.opaque, pinned), path);
}

// One line per problem, "DIR/welcome.gif: rule: detail"; 1 when there is any.
int Check(const std::string& dir) {
  const std::vector<PictureProblem> problems = CheckPictures(dir);
  for (const PictureProblem& p : problems)
    std::printf("%s: %s: %s\n", (std::filesystem::path(dir) / p.file).string().c_str(), p.rule.c_str(), p.detail.c_str());
  return problems.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--check") return Check(argv[2]);
  if (argc < 2 || argc > 3 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR [FONT_DIR]\n       %s --check DIR\n", argv[0], argv[0]);
    return 2;
  }
  try {
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    FontSet fontSet;
    const Fonts fonts = Fonts::Load(fontSet, argc == 3 ? argv[2] : "/usr/share/fonts/truetype");

    const Outline shared = SharedOutline();
    WritePicture((out / "welcome.gif").string(), shared, fonts, PaintWelcome);
    WritePicture((out / "install.gif").string(), shared, fonts, PaintInstall);
    WritePicture((out / "finish6.gif").string(), shared, fonts,
                 [](Canvas& c, const Fonts& f) { PaintFinish(c, f, FinishStyle::Windows6); });
    WritePicture((out / "finish5.gif").string(), shared, fonts,
                 [](Canvas& c, const Fonts& f) { PaintFinish(c, f, FinishStyle::Windows5); });
    WritePicture((out / "exit.gif").string(), shared, fonts, PaintExit);
    WritePicture((out / "chooser.gif").string(), ChooserOutline(), fonts, PaintChooser);

    for (const Glyph& g : AllGlyphs()) WriteGlyphBmp(g, (out / (g.name + ".bmp")).string());
    WriteIcon((out / "setup.ico").string());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "assetgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
