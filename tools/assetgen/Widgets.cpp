// The frame, buttons, boxes and mixed-direction text of the page pictures.
#include "Widgets.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "Paragraph.h"

namespace assetgen {

Fonts Fonts::Load(FontSet& set, const std::string& fontDir) {
  const std::string noto = fontDir + "/noto/", dejavu = fontDir + "/dejavu/";
  Fonts f{};
  f.naskh = set.Load(noto + "NotoNaskhArabic-Regular.ttf");
  f.naskhBold = set.Load(noto + "NotoNaskhArabic-Bold.ttf");
  f.sansArabic = set.Load(noto + "NotoSansArabic-Regular.ttf");
  f.sansArabicBold = set.Load(noto + "NotoSansArabic-Bold.ttf");
  f.latin = set.Load(dejavu + "DejaVuSans.ttf");
  f.latinBold = set.Load(dejavu + "DejaVuSans-Bold.ttf");
  f.latinSerifBold = set.Load(dejavu + "DejaVuSerif-Bold.ttf");
  return f;
}

Line Text(const Style& style, const std::string& utf8) { return Paragraph(utf8, true).LayOut(style); }

Line LatinText(const FontFile* font, double size, const std::string& text) {
  return LayOut({Run{font, size, text, false}}, false);
}

namespace {

// The left emblem: a gold eight-pointed star of two squares on a dark disc.
void DrawStarEmblem(Canvas& canvas, double cx, double cy, double r) {
  const Box box{int(cx - r) - 1, int(cy - r) - 1, int(cx + r) + 2, int(cy + r) + 2};
  auto square = [&](double angle, double radius) {
    std::vector<std::pair<double, double>> pts;
    for (int k = 0; k < 4; ++k) {
      const double a = angle + k * std::numbers::pi / 2;
      pts.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a)});
    }
    return Polygon(pts);
  };
  const double s = r * 0.62;
  const Shape star = Union(square(0, s), square(std::numbers::pi / 4, s));
  canvas.FillShape(star, box, colour::kGold);
  const double s2 = r * 0.50;
  canvas.FillShape(Union(square(0, s2), square(std::numbers::pi / 4, s2)), box, colour::kBandBottom);
  const double s3 = r * 0.40;
  canvas.FillShape(Union(square(0, s3), square(std::numbers::pi / 4, s3)), box, colour::kGoldLight);
  canvas.FillShape(Disc(cx, cy, r * 0.17), box, colour::kBandBottom);
  canvas.FillShape(Disc(cx, cy, r * 0.08), box, colour::kGold);
}

// The product's title in the band: one line at the sample's place while it fits between the
// emblems, else smaller, else two lines, centred on their ink between the band's gold line and
// the subtitle (whose ink top is bottom).
void DrawTitle(Canvas& canvas, const FrameGeometry& frame, const Fonts& fonts, const std::string& title, double scale,
               double bottom) {
  const double margin = 8 * scale;
  const double left = frame.emblemLeftX + frame.emblemRadius + margin, right = frame.emblemRightX - frame.emblemRadius - margin;
  const double top = frame.bandY0 + 8 * scale;
  const double sampleBaseline = std::round(frame.bandY0 + 41 * scale);
  auto place = [&](const Fitted& fitted) -> std::optional<std::vector<double>> {
    std::vector<double> baselines = Stack(fitted.lines, 1.15 * fitted.style.latinSize, 2 * scale);
    const double inkTop = baselines.front() + fitted.lines.front().inkTop;
    const double inkBottom = baselines.back() + fitted.lines.back().inkBottom;
    if (inkBottom - inkTop > bottom - top) return std::nullopt;
    double first = sampleBaseline;
    if (fitted.lines.size() > 1 || first + inkTop < top || first + inkBottom > bottom)
      first = std::round((top + bottom) / 2 - (inkTop + inkBottom) / 2);
    for (double& b : baselines) b += first;
    return baselines;
  };
  const Paragraph paragraph(kTitleMark, title, std::nullopt);
  const Style style{fonts.naskhBold, fonts.latinSerifBold, 30 * scale, 30 * scale};
  const Fitted fitted = Fit(paragraph, style, right - left, {{1, 1}, {0.9, 1}, {0.8, 1}, {0.72, 1}, {0.66, 2}, {0.6, 2}},
                            0.3, [&](const Fitted& candidate) { return place(candidate).has_value(); });
  const std::vector<double> baselines = *place(fitted);
  const double centre = (frame.bandX0 + frame.bandX1) / 2;
  for (size_t i = 0; i < fitted.lines.size(); ++i)
    DrawAligned(canvas, fitted.lines[i], centre, baselines[i], Align::Centre, colour::kWhite);
}

}  // namespace

// The right emblem: a disc with tracks and a light sheen, for the setup disc.
void DrawDiscEmblem(Canvas& canvas, double cx, double cy, double r) {
  const Box box{int(cx - r) - 1, int(cy - r) - 1, int(cx + r) + 2, int(cy + r) + 2};
  const double outer = r * 0.66;
  canvas.FillShape(Disc(cx, cy, outer), box, RgbOf(0xD8E4EF));
  // Two opposite light wedges as the sheen of a disc.
  for (double start : {-2.2, 0.94}) {
    const double a0 = start, a1 = start + 0.75;
    const Shape wedge = [=](double x, double y) {
      double a = std::atan2(y - cy, x - cx);
      return (a >= a0 && a <= a1);
    };
    canvas.FillShape(Minus(Disc(cx, cy, outer), Minus(Disc(cx, cy, outer), wedge)), box, RgbOf(0xF4F8FC));
  }
  for (double t : {0.50, 0.36}) canvas.FillShape(Ring(cx, cy, r * t - 0.6, r * t + 0.6), box, RgbOf(0xA9BED3));
  canvas.FillShape(Ring(cx, cy, outer - 1.5, outer), box, colour::kGold);
  canvas.FillShape(Disc(cx, cy, r * 0.2), box, colour::kGold);
  canvas.FillShape(Disc(cx, cy, r * 0.11), box, colour::kBandBottom);
}

void DrawFrame(Canvas& canvas, const Outline& outline, const Fonts& fonts, const std::string& title,
               const char* subtitleText) {
  const FrameGeometry& f = outline.frame;
  const Box body{int(f.bodyX0) - 1, int(f.bandY0), int(f.bodyX1) + 1, int(f.bodyY1)};
  const Box band{int(f.bandX0) - 1, int(f.bandY0) - 1, int(f.bandX1) + 1, int(f.bandY1) + 1};

  // Body: one calm panel colour, with a thin inner line following its edge.
  canvas.FillShape(f.Body(), body, colour::kPanel);
  canvas.FillShape(RoundRectStroke(f.bodyX0 + 8, f.bandY1 - 20, f.bodyX1 - 8, f.bodyY1 - 8, f.bodyRadius - 8, 1.2),
                   Box{body.x0, int(f.bandY1), body.x1, body.y1}, colour::kPanelLine);

  // Band: deep blue, lit from above, with a gold line inside its edge.
  canvas.FillShape(f.Band(), band, VerticalGradient(f.bandY0, colour::kBandTop, f.bandY1, colour::kBandBottom));
  canvas.FillShape(RoundRectStroke(f.bandX0 + 5, f.bandY0 + 5, f.bandX1 - 5, f.bandY1 - 5, f.bandRadius - 5, 1.5), band,
                   colour::kGold);

  // Emblems: dark discs with a gold ring.
  for (double cx : {f.emblemLeftX, f.emblemRightX}) {
    const double r = f.emblemRadius;
    const Box box{int(cx - r) - 2, int(f.emblemY - r) - 2, int(cx + r) + 3, int(f.emblemY + r) + 3};
    canvas.FillShape(Disc(cx, f.emblemY, r), box, VerticalGradient(f.emblemY - r, colour::kBandTop, f.emblemY + r, colour::kBandBottom));
    canvas.FillShape(Ring(cx, f.emblemY, r * 0.80, r * 0.86), box, colour::kGold);
  }
  DrawStarEmblem(canvas, f.emblemLeftX, f.emblemY, f.emblemRadius);
  DrawDiscEmblem(canvas, f.emblemRightX, f.emblemY, f.emblemRadius);

  // Product title and the Persian subtitle, centred in the band.
  const double bandHeight = f.bandY1 - f.bandY0;
  const double centre = (f.bandX0 + f.bandX1) / 2;
  const double scale = bandHeight / 86.0;
  const Line subtitle = Text(Style{fonts.naskhBold, fonts.latinBold, 19 * scale, 15 * scale}, subtitleText);
  const double subtitleBaseline = std::round(f.bandY0 + 72 * scale);
  DrawTitle(canvas, f, fonts, title, scale, subtitleBaseline + subtitle.inkTop - 3 * scale);
  DrawAligned(canvas, subtitle, centre, subtitleBaseline, Align::Centre, colour::kGoldLight);
  // Small gold diamonds either side of the subtitle.
  for (double side : {-1.0, 1.0}) {
    const double x = centre + side * (subtitle.advance / 2 + 16 * scale);
    const double y = f.bandY0 + 65 * scale;
    const double d = 4 * scale;
    canvas.FillShape(Polygon({{x, y - d}, {x + d, y}, {x, y + d}, {x - d, y}}),
                     Box{int(x - d) - 1, int(y - d) - 1, int(x + d) + 2, int(y + d) + 2}, colour::kGold);
  }

  // Dark rim along the outline, two to three pixels deep, so the cut edge reads as a border.
  const int w = canvas.Width(), h = canvas.Height();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (!outline.Opaque(x, y)) continue;
      int nearest = 100;
      for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) {
          const int nx = x + dx, ny = y + dy;
          const bool outside = nx < 0 || ny < 0 || nx >= w || ny >= h || !outline.Opaque(nx, ny);
          if (outside) nearest = std::min(nearest, dx * dx + dy * dy);
        }
      if (nearest <= 2) canvas.Set(x, y, colour::kRimDark);
      else if (nearest <= 5) canvas.Set(x, y, colour::kRim);
      else if (nearest <= 9) canvas.Blend(x, y, colour::kRim, 0.45);
    }
  }
}

void DrawButton(Canvas& canvas, Box box, const std::string& caption, ButtonKind kind, const Fonts& fonts) {
  const double x0 = box.x0, y0 = box.y0, x1 = box.x1, y1 = box.y1;
  const Box area{box.x0 - 1, box.y0 - 1, box.x1 + 1, box.y1 + 1};
  const bool primary = kind == ButtonKind::Primary;
  // The secondary button is cool white against the warm panel, so no part of it blends in.
  const Rgb border = primary ? RgbOf(0x143A5C) : RgbOf(0x7D91A8);
  const Rgb top = primary ? RgbOf(0x3B7DB3) : RgbOf(0xFFFFFF);
  const Rgb bottom = primary ? RgbOf(0x215683) : RgbOf(0xD9E3EE);
  canvas.FillShape(RoundRect(x0, y0, x1, y1, 6), area, border);
  canvas.FillShape(RoundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5), area, VerticalGradient(y0, top, y1, bottom));
  // A light line under the top edge gives the button some relief.
  canvas.FillShape(Minus(RoundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5), RoundRect(x0 + 1, y0 + 2, x1 - 1, y1 - 1, 5)), area,
                   primary ? RgbOf(0x6FA3CF) : RgbOf(0xFFFFFF));
  const Line label = Text(Style{fonts.sansArabicBold, fonts.latinBold, 14, 12}, caption);
  DrawCentred(canvas, label, box, primary ? colour::kWhite : colour::kInk);
}

void DrawWhiteBox(Canvas& canvas, Box box) {
  const Box area{box.x0 - 1, box.y0 - 1, box.x1 + 1, box.y1 + 1};
  canvas.FillShape(RoundRect(box.x0, box.y0, box.x1, box.y1, 4), area, colour::kBoxBorder);
  canvas.FillShape(RoundRect(box.x0 + 1, box.y0 + 1, box.x1 - 1, box.y1 - 1, 3), area, colour::kWhite);
}

void DrawRule(Canvas& canvas, double x0, double x1, double y) {
  const double mid = (x0 + x1) / 2;
  const Box area{int(x0) - 1, int(y) - 6, int(x1) + 2, int(y) + 7};
  canvas.FillShape([=](double x, double yy) { return x >= x0 && x < x1 && yy >= y && yy < y + 1; }, area, colour::kPanelLine);
  canvas.FillShape(Polygon({{mid, y - 4.5}, {mid + 5, y + 0.5}, {mid, y + 5.5}, {mid - 5, y + 0.5}}), area, colour::kGold);
}

}  // namespace assetgen
