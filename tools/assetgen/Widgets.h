// Drawing pieces shared by the page pictures: fonts and text styles, the frame, buttons, boxes.
#pragma once

#include <string>

#include "Canvas.h"
#include "Outline.h"
#include "Text.h"

namespace assetgen {

/// The font files the pictures use, from Debian's fonts-noto-core and fonts-dejavu-core.
struct Fonts {
  const FontFile* naskh;
  const FontFile* naskhBold;
  const FontFile* sansArabic;
  const FontFile* sansArabicBold;
  const FontFile* latin;
  const FontFile* latinBold;
  const FontFile* latinSerifBold;

  /// Loads them from fontDir/noto and fontDir/dejavu (fontDir is /usr/share/fonts/truetype).
  static Fonts Load(FontSet& set, const std::string& fontDir);
};

/// A text style: the Persian font and size, and the Latin font and size for embedded words.
struct Style {
  const FontFile* persian;
  const FontFile* latin;
  double size;
  double latinSize;
};

/// Lays out a right-to-left line of mixed text: runs of Latin letters (with the spaces and
/// punctuation between them) read left to right inside the Persian line (see Paragraph).
Line Text(const Style& style, const std::string& utf8);

/// A left-to-right line in one font.
Line LatinText(const FontFile* font, double size, const std::string& text);

namespace colour {
constexpr Rgb kRimDark = RgbOf(0x0E2236);
constexpr Rgb kRim = RgbOf(0x1B3F60);
constexpr Rgb kBandTop = RgbOf(0x2A5E8C);
constexpr Rgb kBandBottom = RgbOf(0x17395A);
constexpr Rgb kGold = RgbOf(0xC9A24A);
constexpr Rgb kGoldLight = RgbOf(0xEBCF86);
constexpr Rgb kPanel = RgbOf(0xF7F3EA);
constexpr Rgb kPanelLine = RgbOf(0xE2D5B6);
constexpr Rgb kInk = RgbOf(0x1E2B38);
constexpr Rgb kInkSoft = RgbOf(0x4A5A6A);
constexpr Rgb kWhite = RgbOf(0xFFFFFF);
constexpr Rgb kBlack = RgbOf(0x000000);
constexpr Rgb kBoxBorder = RgbOf(0x8BA0B6);
constexpr Rgb kSuccess = RgbOf(0x2E8B57);
}  // namespace colour

/// Paints the frame (body panel, header band with the product's title, emblems, dark rim along
/// the outline). Everything inside the outline is painted; the rest is left for the mask to cut.
/// The title is shrunk, or set on two lines, to fit between the emblems above the subtitle:
/// "setup program" on the installer's pages, "removing the program" on the uninstaller's.
inline constexpr const char* kSetupSubtitle = "برنامه نصب";
inline constexpr const char* kRemoveSubtitle = "حذف برنامه";
void DrawFrame(Canvas& canvas, const Outline& outline, const Fonts& fonts, const std::string& title,
               const char* subtitle = kSetupSubtitle);

/// The setup-disc emblem (tracks and sheen) centred at (cx, cy) within radius r.
void DrawDiscEmblem(Canvas& canvas, double cx, double cy, double r);

enum class ButtonKind { Primary, Secondary };

/// A rounded button filling box, with its caption centred.
void DrawButton(Canvas& canvas, Box box, const std::string& caption, ButtonKind kind, const Fonts& fonts);

/// A white box with a thin border, for a text label laid over it at run time.
void DrawWhiteBox(Canvas& canvas, Box box);

/// A thin gold rule with a small diamond in the middle, under titles.
void DrawRule(Canvas& canvas, double x0, double x1, double y);

}  // namespace assetgen
