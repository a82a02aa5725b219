// Renders terminal text (UTF-8 on standard input) as a picture of a terminal window, so the
// README can show a command's report as the vendor sees it. Latin text is set in DejaVu Sans
// Mono; Persian runs inside a line are shaped right to left in Noto Naskh Arabic (the line
// itself reads left to right, as a terminal shows a path). Lines that begin with "warning:"
// or "error:" get the colours a terminal would give them.
//   usage: termshot OUT.ppm < text
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "Canvas.h"
#include "Text.h"
#include "engine/platform/Unicode.h"

namespace {

using assetgen::Rgb;

bool IsRtl(char32_t c) {
  return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF);
}
bool IsNeutral(char32_t c) { return c == ' ' || c == 0x200C; }

std::vector<char32_t> Decode(const std::string& s) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < s.size();) {
    char32_t c = 0;
    if (!installer::NextCodePoint(s, i, c)) c = installer::kReplacementCharacter;
    out.push_back(c);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: termshot OUT.ppm < text\n");
    return 2;
  }
  std::vector<std::string> lines;
  for (std::string line; std::getline(std::cin, line);) lines.push_back(line);
  assetgen::FontSet fonts;
  const assetgen::FontFile* mono = fonts.Load("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf");
  const assetgen::FontFile* persian = fonts.Load("/usr/share/fonts/truetype/noto/NotoNaskhArabic-Regular.ttf");
  const double size = 15, lineHeight = 21, margin = 14, titleBar = 28;
  std::vector<assetgen::Line> laidOut;
  double width = 600;
  for (const std::string& text : lines) {
    const std::vector<char32_t> cps = Decode(text);
    std::vector<bool> rtl(cps.size());
    for (size_t i = 0; i < cps.size(); ++i) rtl[i] = IsRtl(cps[i]);
    // A blank or ZWNJ between two Persian letters belongs to their run.
    for (size_t i = 0; i < cps.size(); ++i) {
      if (!IsNeutral(cps[i])) continue;
      size_t before = i, after = i;
      while (before > 0 && IsNeutral(cps[before - 1])) --before;
      while (after < cps.size() && IsNeutral(cps[after])) ++after;
      rtl[i] = before > 0 && after < cps.size() && rtl[before - 1] && rtl[after];
    }
    std::vector<assetgen::Run> runs;
    for (size_t i = 0; i < cps.size();) {
      std::string piece;
      size_t j = i;
      for (; j < cps.size() && rtl[j] == rtl[i]; ++j) installer::AppendUtf8(piece, cps[j]);
      runs.push_back({rtl[i] ? persian : mono, rtl[i] ? size * 1.05 : size, piece, static_cast<bool>(rtl[i])});
      i = j;
    }
    laidOut.push_back(assetgen::LayOut(runs, false));
    width = std::max(width, laidOut.back().advance + 2 * margin);
  }
  const int w = static_cast<int>(width + 0.5);
  const int h = static_cast<int>(titleBar + margin * 2 + lineHeight * lines.size());
  assetgen::Canvas canvas(w, h, assetgen::RgbOf(0x1E1E1E));
  canvas.FillShape(assetgen::RoundRect(0, 0, w, titleBar, 0), {0, 0, w, static_cast<int>(titleBar)},
                   assetgen::RgbOf(0x3A3A3A));
  const unsigned dots[] = {0xFF5F56, 0xFFBD2E, 0x27C93F};
  for (int i = 0; i < 3; ++i) {
    const double cx = 18 + 20 * i;
    canvas.FillShape(assetgen::Disc(cx, titleBar / 2, 6), {int(cx) - 7, 6, int(cx) + 8, 22}, assetgen::RgbOf(dots[i]));
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    Rgb colour = assetgen::RgbOf(0xD4D4D4);
    if (lines[i].rfind("warning:", 0) == 0) colour = assetgen::RgbOf(0xE5C07B);
    if (lines[i].rfind("error:", 0) == 0) colour = assetgen::RgbOf(0xF07178);
    if (lines[i].rfind("$ ", 0) == 0) colour = assetgen::RgbOf(0x98C379);
    assetgen::Draw(canvas, laidOut[i], margin, titleBar + margin + lineHeight * (i + 0.75), colour);
  }
  FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(out, "P6\n%d %d\n255\n", w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb c = canvas.At(x, y);
      const unsigned char px[3] = {static_cast<unsigned char>(std::clamp(c.r, 0.0, 255.0)),
                                   static_cast<unsigned char>(std::clamp(c.g, 0.0, 255.0)),
                                   static_cast<unsigned char>(std::clamp(c.b, 0.0, 255.0))};
      std::fwrite(px, 1, 3, out);
    }
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
