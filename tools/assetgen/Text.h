// Text on the pictures: shaped by HarfBuzz (Persian right to left, Arabic script) and rasterised
// by FreeType with anti-aliasing onto the canvas.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Canvas.h"

namespace assetgen {

class FontFile;

/// Owns FreeType and the font files the pictures use.
class FontSet {
 public:
  FontSet();
  ~FontSet();
  FontSet(const FontSet&) = delete;
  FontSet& operator=(const FontSet&) = delete;

  /// Loads a font file; throws std::runtime_error naming the file when it cannot be read.
  const FontFile* Load(const std::string& path);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

/// Whether the font has a glyph for the code point.
bool Covers(const FontFile* font, char32_t codePoint);

/// A piece of text in one font, size and direction.
struct Run {
  const FontFile* font;
  double size;        // pixels per em
  std::string text;   // UTF-8
  bool rtl = true;    // Persian runs are right to left, Latin ones left to right
};

/// One line laid out: glyphs with pen positions relative to the line's left end on the baseline.
struct Line {
  struct Glyph {
    const FontFile* font;
    double size;
    unsigned id;
    double x, y;
  };
  std::vector<Glyph> glyphs;
  double advance = 0;                        // width of the line by its advances
  double inkLeft = 0, inkRight = 0;          // ink extent relative to the left end
  double inkTop = 0, inkBottom = 0;          // ink extent relative to the baseline (y down)
};

/// Lays out runs given in reading order. A right-to-left line puts its first run at the right;
/// each run is shaped in its own direction (enough for Persian with embedded Latin words).
Line LayOut(const std::vector<Run>& runs, bool rtlLine = true);

/// The width of the runs by their advances, without rendering them (for line breaking).
double AdvanceOf(const std::vector<Run>& runs);

void Draw(Canvas& canvas, const Line& line, double left, double baseline, Rgb colour);

enum class Align { Left, Centre, Right };

/// Draws the line with its advance box aligned at x (left end, middle or right end); returns
/// the box its ink took.
Box DrawAligned(Canvas& canvas, const Line& line, double x, double baseline, Align align, Rgb colour);

/// Draws the line centred in the box, horizontally by advance and vertically by its ink.
void DrawCentred(Canvas& canvas, const Line& line, Box box, Rgb colour);

}  // namespace assetgen
