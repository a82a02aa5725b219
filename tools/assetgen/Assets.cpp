// The pictures share a frame (band with the title, panel, rim) and differ in their page.
#include "Assets.h"

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <vector>

#include "Glyphs.h"
#include "Icon.h"
#include "Outline.h"
#include "Pages.h"
#include "Palette.h"
#include "Paragraph.h"

namespace assetgen {

namespace {

using Painter = std::function<void(Canvas&, const Fonts&)>;

void WritePicture(const std::string& path, const Outline& outline, const Fonts& fonts, const std::string& title,
                  const Painter& paint, const char* subtitle = kSetupSubtitle) {
  Canvas canvas(kPictureWidth, kPictureHeight, colour::kRimDark);
  DrawFrame(canvas, outline, fonts, title, subtitle);
  paint(canvas, fonts);
  // Flat fills keep exact entries so text labels drawn at run time sit on one known colour.
  const std::vector<Rgb> pinned = {colour::kPanel, colour::kWhite, colour::kRimDark, colour::kRim,
                                   colour::kInk, colour::kBlack, colour::kBoxBorder};
  WriteGif(Quantise(canvas, outline.opaque, pinned), path);
}

}  // namespace

void WriteAssets(const std::string& outputDir, const std::string& fontDir, const std::string& title) {
  const std::filesystem::path out = outputDir;
  FontSet fontSet;
  const Fonts fonts = Fonts::Load(fontSet, fontDir);
  // The font pairs the title is set in: the band's, the headings' (welcome and removal) and the
  // welcome sentence's.
  const std::string problem = TitleProblem(title, {Style{fonts.naskhBold, fonts.latinSerifBold, 0, 0},
                                                   Style{fonts.naskhBold, fonts.latinBold, 0, 0},
                                                   Style{fonts.naskh, fonts.latin, 0, 0}});
  if (!problem.empty()) throw std::runtime_error(problem);
  std::filesystem::create_directories(out);

  const Outline shared = SharedOutline();
  auto write = [&](const char* name, const Outline& outline, const Painter& paint,
                   const char* subtitle = kSetupSubtitle) {
    WritePicture((out / name).string(), outline, fonts, title, paint, subtitle);
  };
  write("welcome.gif", shared, [&](Canvas& c, const Fonts& f) { PaintWelcome(c, f, title); });
  write("install.gif", shared, PaintInstall);
  write("finish6.gif", shared, [](Canvas& c, const Fonts& f) { PaintFinish(c, f, FinishStyle::Windows6); });
  write("finish5.gif", shared, [](Canvas& c, const Fonts& f) { PaintFinish(c, f, FinishStyle::Windows5); });
  write("exit.gif", shared, PaintExit);
  write("chooser.gif", ChooserOutline(), PaintChooser);
  write("remove1.gif", shared, [&](Canvas& c, const Fonts& f) { PaintRemoveAsk(c, f, title); }, kRemoveSubtitle);
  write("remove2.gif", shared, [&](Canvas& c, const Fonts& f) { PaintRemoveProgress(c, f, title); },
        kRemoveSubtitle);
  write("remove3.gif", shared, PaintRemoveDone, kRemoveSubtitle);

  for (const Glyph& g : AllGlyphs()) WriteGlyphBmp(g, (out / (g.name + ".bmp")).string());
  WriteIcon((out / "setup.ico").string());
}

}  // namespace assetgen
