// Page contents in picture coordinates. Buttons are drawn a little larger than the hotspot
// rectangles that lie over them, so every point of a hotspot falls on its button.
#include "Pages.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "Paragraph.h"

namespace assetgen {

namespace {

using namespace colour;

Style BodyText(const Fonts& f, double size = 16) { return Style{f.naskh, f.latin, size, size * 0.78}; }
Style TitleText(const Fonts& f, double size = 23) { return Style{f.naskhBold, f.latinBold, size, size * 0.78}; }

// A right-aligned paragraph of lines, first line at the first baseline.
void DrawLines(Canvas& canvas, const Style& style, const std::vector<std::string>& lines, double right, double baseline,
               double leading, Rgb ink) {
  for (const std::string& s : lines) {
    DrawAligned(canvas, Text(style, s), right, baseline, Align::Right, ink);
    baseline += leading;
  }
}

void DrawCentredLines(Canvas& canvas, const Style& style, const std::vector<std::string>& lines, double centre,
                      double baseline, double leading, Rgb ink) {
  for (const std::string& s : lines) {
    DrawAligned(canvas, Text(style, s), centre, baseline, Align::Centre, ink);
    baseline += leading;
  }
}

Box Around(double cx, double cy, double r) { return Box{int(cx - r) - 2, int(cy - r) - 2, int(cx + r) + 3, int(cy + r) + 3}; }

// A faint eight-pointed star outline, a quiet ornament for empty parts of a panel.
void DrawWatermark(Canvas& canvas, double cx, double cy, double r, Rgb ink) {
  auto square = [&](double angle, double radius) {
    std::vector<std::pair<double, double>> pts;
    for (int k = 0; k < 4; ++k) {
      const double a = angle + k * std::numbers::pi / 2;
      pts.push_back({cx + radius * std::cos(a), cy + radius * std::sin(a)});
    }
    return Polygon(pts);
  };
  const Shape outer = Union(square(0, r), square(std::numbers::pi / 4, r));
  const Shape inner = Union(square(0, r - 2.2), square(std::numbers::pi / 4, r - 2.2));
  canvas.FillShape(Minus(outer, inner), Around(cx, cy, r), ink);
  canvas.FillShape(Ring(cx, cy, r * 0.45 - 1.1, r * 0.45 + 1.1), Around(cx, cy, r), ink);
}

// A large disc, the picture of the setup medium on the welcome page.
void DrawMediumDisc(Canvas& canvas, double cx, double cy, double r) {
  const Box box = Around(cx, cy, r);
  canvas.FillShape(Disc(cx, cy + 3, r), box, Mix(kPanel, kInkSoft, 0.18));  // soft shadow
  canvas.FillShape(Disc(cx, cy, r), box, RgbOf(0xD6E2EE));
  for (double start : {-2.3, 0.84}) {
    const Shape wedge = [=](double x, double y) {
      const double a = std::atan2(y - cy, x - cx);
      return a >= start && a <= start + 0.9;
    };
    canvas.FillShape(Minus(Disc(cx, cy, r - 1), Minus(Disc(cx, cy, r - 1), wedge)), box, RgbOf(0xF3F7FB));
  }
  for (double t : {0.86, 0.72, 0.58}) canvas.FillShape(Ring(cx, cy, r * t - 0.5, r * t + 0.5), box, RgbOf(0xB4C7DA));
  canvas.FillShape(Ring(cx, cy, r - 2, r), box, kGold);
  canvas.FillShape(Disc(cx, cy, r * 0.30), box, kGold);
  canvas.FillShape(Disc(cx, cy, r * 0.24), box, kPanel);
  canvas.FillShape(Ring(cx, cy, r * 0.24, r * 0.27), box, RgbOf(0xB08A36));
}

// A round badge with a Persian digit, numbering a step in the illustrations.
void DrawBadge(Canvas& canvas, const Fonts& fonts, double cx, double cy, const std::string& digit) {
  const double r = 10;
  canvas.FillShape(Disc(cx, cy, r), Around(cx, cy, r), RgbOf(0xD9822B));
  canvas.FillShape(Ring(cx, cy, r - 1.5, r), Around(cx, cy, r), RgbOf(0xA95E16));
  DrawCentred(canvas, Text(Style{fonts.sansArabicBold, fonts.latinBold, 14, 11}, digit),
              Box{int(cx - r), int(cy - r), int(cx + r), int(cy + r)}, kWhite);
}

// An orange ring drawn round a control in a dialog picture, to show where to look.
void DrawHighlight(Canvas& canvas, Box b) {
  canvas.FillShape(RoundRectStroke(b.x0 - 3, b.y0 - 3, b.x1 + 3, b.y1 + 3, 5, 2),
                   Box{b.x0 - 5, b.y0 - 5, b.x1 + 5, b.y1 + 5}, RgbOf(0xE0761E));
}

// ---- Dialog illustrations: drawn simplifications of the Windows regional settings dialogs.

struct DialogLook {
  bool xp;
  const Fonts* fonts;
};

void UiText(Canvas& canvas, const DialogLook& look, const std::string& s, double x, double baseline, Rgb ink,
            bool bold = false) {
  const Line line = LatinText(bold ? look.fonts->latinBold : look.fonts->latin, 9, s);
  Draw(canvas, line, std::round(x), std::round(baseline), ink);
}

void UiButton(Canvas& canvas, const DialogLook& look, Box b, const std::string& caption) {
  const Box area{b.x0 - 1, b.y0 - 1, b.x1 + 1, b.y1 + 1};
  if (look.xp) {
    canvas.FillShape(RoundRect(b.x0, b.y0, b.x1, b.y1, 3), area, RgbOf(0x003C74));
    canvas.FillShape(RoundRect(b.x0 + 1, b.y0 + 1, b.x1 - 1, b.y1 - 1, 2), area,
                     VerticalGradient(b.y0, RgbOf(0xFFFFFF), b.y1, RgbOf(0xE3E2DA)));
  } else {
    canvas.FillShape(RoundRect(b.x0, b.y0, b.x1, b.y1, 3), area, RgbOf(0x707070));
    canvas.FillShape(RoundRect(b.x0 + 1, b.y0 + 1, b.x1 - 1, b.y1 - 1, 2), area,
                     VerticalGradient(b.y0, RgbOf(0xF6F6F6), b.y1, RgbOf(0xDDDDDD)));
  }
  DrawCentred(canvas, LatinText(look.fonts->latin, 8.5, caption), b, kBlack);
}

void UiCombo(Canvas& canvas, const DialogLook& look, Box b, const std::string& value) {
  const Box area{b.x0 - 1, b.y0 - 1, b.x1 + 1, b.y1 + 1};
  canvas.FillShape(RoundRect(b.x0, b.y0, b.x1, b.y1, 1), area, look.xp ? RgbOf(0x7F9DB9) : RgbOf(0x7A7A7A));
  canvas.FillShape(RoundRect(b.x0 + 1, b.y0 + 1, b.x1 - 1, b.y1 - 1, 0.5), area, kWhite);
  // The drop-down button at the right end with its arrow.
  const double bx0 = b.x1 - 15, by0 = b.y0 + 1, bx1 = b.x1 - 1, by1 = b.y1 - 1;
  if (look.xp)
    canvas.FillShape(RoundRect(bx0, by0, bx1, by1, 2), area, VerticalGradient(by0, RgbOf(0xC1D3FB), by1, RgbOf(0x98B4F0)));
  else
    canvas.FillShape(RoundRect(bx0, by0, bx1, by1, 1), area, VerticalGradient(by0, RgbOf(0xF2F2F2), by1, RgbOf(0xD9D9D9)));
  const double ax = (bx0 + bx1) / 2, ay = (by0 + by1) / 2;
  canvas.FillShape(Polygon({{ax - 3.5, ay - 1.5}, {ax + 3.5, ay - 1.5}, {ax, ay + 2.5}}), area,
                   look.xp ? RgbOf(0x4D6185) : RgbOf(0x333333));
  UiText(canvas, look, value, b.x0 + 4, b.y0 + (b.y1 - b.y0) / 2.0 + 3.5, kBlack);
}

// Grey bars standing for lines of text that do not matter for the instructions.
void UiPlaceholder(Canvas& canvas, double x, double y, double width) {
  canvas.FillShape(RoundRect(x, y, x + width, y + 3, 1.5), Box{int(x) - 1, int(y) - 1, int(x + width) + 2, int(y) + 5},
                   RgbOf(0xB9BFC7));
}

// Window chrome and the tab strip; returns the inner box of the tab page.
Box DialogFrame(Canvas& canvas, const DialogLook& look, Box b, const std::string& title,
                const std::vector<std::string>& tabs, int activeTab) {
  const Box area{b.x0 - 1, b.y0 - 1, b.x1 + 1, b.y1 + 1};
  const double x0 = b.x0, y0 = b.y0, x1 = b.x1, y1 = b.y1;
  const double titleHeight = 22, side = look.xp ? 3 : 6;
  Rgb face;
  if (look.xp) {
    face = RgbOf(0xECE9D8);
    canvas.FillShape(RoundRect(x0, y0, x1, y1, 7), area, RgbOf(0x0831D9));
    canvas.FillShape(RoundRect(x0 + 1, y0 + 1, x1 - 1, y0 + titleHeight + 8, 6), area,
                     VerticalGradient(y0, RgbOf(0x3D95FF), y0 + titleHeight, RgbOf(0x0A5AD8)));
    canvas.FillShape(RoundRect(x0 + side, y0 + titleHeight, x1 - side, y1 - side, 0), area, face);
    UiText(canvas, look, title, x0 + 8, y0 + 15, kWhite, true);
    const Box close{b.x1 - 21, b.y0 + 4, b.x1 - 6, b.y0 + 19};
    canvas.FillShape(RoundRect(close.x0, close.y0, close.x1, close.y1, 3), area, kWhite);
    canvas.FillShape(RoundRect(close.x0 + 1, close.y0 + 1, close.x1 - 1, close.y1 - 1, 2), area,
                     VerticalGradient(close.y0, RgbOf(0xE8835E), close.y1, RgbOf(0xC2401C)));
    const double cx = (close.x0 + close.x1) / 2.0, cy = (close.y0 + close.y1) / 2.0;
    canvas.FillShape(Union(Capsule(cx - 3.5, cy - 3.5, cx + 3.5, cy + 3.5, 2), Capsule(cx - 3.5, cy + 3.5, cx + 3.5, cy - 3.5, 2)),
                     close, kWhite);
  } else {
    face = RgbOf(0xF0F0F0);
    canvas.FillShape(RoundRect(x0, y0, x1, y1, 6), area, RgbOf(0x50657C));
    canvas.FillShape(RoundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5), area,
                     VerticalGradient(y0, RgbOf(0xC9DDF1), y1, RgbOf(0x9DBBDA)));
    canvas.FillShape(RoundRect(x0 + side - 1, y0 + titleHeight - 1, x1 - side + 1, y1 - side + 1, 0), area, RgbOf(0x7E96AE));
    canvas.FillShape(RoundRect(x0 + side, y0 + titleHeight, x1 - side, y1 - side, 0), area, face);
    UiText(canvas, look, title, x0 + 9, y0 + 15, RgbOf(0x1E1E1E));
    const Box close{b.x1 - 40, b.y0 + 1, b.x1 - 7, b.y0 + 17};
    canvas.FillShape(RoundRect(close.x0, close.y0 - 4, close.x1, close.y1, 3), close, RgbOf(0x6B2E2A));
    canvas.FillShape(RoundRect(close.x0 + 1, close.y0 - 4, close.x1 - 1, close.y1 - 1, 2), close,
                     VerticalGradient(close.y0, RgbOf(0xE3A08F), close.y1, RgbOf(0xC4412B)));
    const double cx = (close.x0 + close.x1) / 2.0, cy = (close.y0 + close.y1) / 2.0;
    canvas.FillShape(Union(Capsule(cx - 3, cy - 3, cx + 3, cy + 3, 2), Capsule(cx - 3, cy + 3, cx + 3, cy - 3, 2)), close, kWhite);
  }
  // Tabs along the top of the page; the active one joins the page below it.
  const double tabTop = y0 + titleHeight + 6, tabBottom = tabTop + 16;
  const Rgb page = look.xp ? RgbOf(0xFCFCFE) : kWhite;
  const Rgb edge = look.xp ? RgbOf(0x919B9C) : RgbOf(0x898C95);
  const Box pageBox{int(x0 + side + 6), int(tabBottom), int(x1 - side - 6), int(y1 - side - 30)};
  canvas.FillShape(RoundRect(pageBox.x0, pageBox.y0, pageBox.x1, pageBox.y1, 0), area, edge);
  canvas.FillShape(RoundRect(pageBox.x0 + 1, pageBox.y0 + 1, pageBox.x1 - 1, pageBox.y1 - 1, 0), area, page);
  double tx = pageBox.x0 + 2;
  for (size_t i = 0; i < tabs.size(); ++i) {
    const Line label = LatinText(look.fonts->latin, 8.5, tabs[i]);
    const double w = std::ceil(label.advance) + 12;
    const bool active = int(i) == activeTab;
    const double top = active ? tabTop - 2 : tabTop;
    const double right = std::min(tx + w, double(pageBox.x1 - 1));
    if (right - tx < 14) break;
    const Box tabArea{int(tx) - 1, int(top) - 1, int(right) + 1, int(tabBottom) + 2};
    canvas.FillShape(RoundRect(tx, top, right, tabBottom + (active ? 1 : 0), 2), tabArea, edge);
    canvas.FillShape(RoundRect(tx + 1, top + 1, right - 1, tabBottom + (active ? 1 : 0), 1.5), tabArea,
                     active ? page : (look.xp ? RgbOf(0xF3F3EE) : RgbOf(0xE3E8EE)));
    if (active && look.xp) canvas.FillShape(RoundRect(tx + 1, top, right - 1, top + 3, 1.5), tabArea, RgbOf(0xF8B33C));
    // Tab texts that do not fit are cut at the page edge, as in a narrow window.
    canvas.SetClip(Box{int(tx) + 1, tabArea.y0, int(right) - 1, tabArea.y1});
    Draw(canvas, label, std::round(tx + 6), std::round(tabBottom - 4), kBlack);
    canvas.ClearClip();
    tx = right;
  }
  // Dialog buttons along the foot.
  const int by0 = int(y1 - side - 24), by1 = int(y1 - side - 6);
  int bx1 = int(x1 - side - 6);
  for (const char* caption : {"Apply", "Cancel", "OK"}) {
    UiButton(canvas, look, Box{bx1 - 50, by0, bx1, by1}, caption);
    bx1 -= 55;
  }
  return Box{pageBox.x0 + 1, pageBox.y0 + 1, pageBox.x1 - 1, pageBox.y1 - 1};
}

// First dialog: the format set to Persian. The step number sits by the highlighted control.
void DrawFormatsDialog(Canvas& canvas, const Fonts& fonts, Box b, bool xp, const std::string& step) {
  const DialogLook look{xp, &fonts};
  const Box page = xp ? DialogFrame(canvas, look, b, "Regional and Language Options", {"Regional Options", "Languages", "Advanced"}, 0)
                      : DialogFrame(canvas, look, b, "Region and Language", {"Formats", "Location", "Keyboards and Languages"}, 0);
  const double x = page.x0 + 8, w = page.x1 - page.x0 - 16;
  double y = page.y0 + 14;
  UiText(canvas, look, xp ? "Standards and formats" : "Format:", x, y, xp ? RgbOf(0x0046D5) : kBlack);
  const Box combo{int(x), int(y + 5), int(x + w), int(y + 23)};
  UiCombo(canvas, look, combo, "Persian");
  DrawHighlight(canvas, combo);
  DrawBadge(canvas, fonts, combo.x1 - 4, combo.y0 - 11, step);
  y += 40;
  UiText(canvas, look, xp ? "Samples" : "Date and time formats", x, y, xp ? RgbOf(0x0046D5) : kBlack);
  for (int i = 0; i < 4; ++i) {
    UiPlaceholder(canvas, x + 2, y + 9 + i * 11, 44);
    UiPlaceholder(canvas, x + 56, y + 9 + i * 11, w - 70 - (i % 2) * 18);
  }
}

// Second dialog: the language for programs that do not use Unicode set to an Arabic locale.
void DrawLocaleDialog(Canvas& canvas, const Fonts& fonts, Box b, bool xp, const std::string& step) {
  const DialogLook look{xp, &fonts};
  const Box page = xp ? DialogFrame(canvas, look, b, "Regional and Language Options", {"Regional Options", "Languages", "Advanced"}, 2)
                      : DialogFrame(canvas, look, b, "Region and Language", {"Location", "Keyboards", "Administrative"}, 2);
  const double x = page.x0 + 8, w = page.x1 - page.x0 - 16;
  double y = page.y0 + 14;
  UiText(canvas, look, "Language for non-Unicode programs", x, y, xp ? RgbOf(0x0046D5) : kBlack);
  UiPlaceholder(canvas, x + 2, y + 8, w - 10);
  UiPlaceholder(canvas, x + 2, y + 16, w - 40);
  y += 34;
  if (xp) {
    const Box combo{int(x), int(y), int(x + w), int(y + 18)};
    UiCombo(canvas, look, combo, "Arabic (Egypt)");
    DrawHighlight(canvas, combo);
    DrawBadge(canvas, fonts, combo.x1 - 4, combo.y0 - 11, step);
  } else {
    UiText(canvas, look, "Current language:", x, y, RgbOf(0x333333));
    UiText(canvas, look, "Arabic (Egypt)", x + 3, y + 18, kBlack, true);
    DrawHighlight(canvas, Box{int(x), int(y) + 8, int(x + 82), int(y + 22)});
    DrawBadge(canvas, fonts, x + 100, y + 15, step);
    const Box button{int(x + w - 118), int(y + 30), int(x + w), int(y + 48)};
    UiButton(canvas, look, button, "Change system locale...");
  }
}

}  // namespace

void PaintWelcome(Canvas& canvas, const Fonts& fonts, const std::string& title) {
  // The column the text may take, well inside the panel's inner line (x 170..672).
  constexpr double kColumn = 444, kCentre = 421;
  const Paragraph heading("به برنامه نصب {title} خوش آمدید", title, true);
  const Paragraph intro("این برنامه {title} را روی رایانه شما نصب می‌کند.", title, true);
  // Smaller type before more lines for the heading; the sentence takes a second line first.
  const Fitted head = Fit(heading, TitleText(fonts, 25), kColumn,
                          {{1, 1}, {0.92, 1}, {0.84, 1}, {0.92, 2}, {0.84, 2}, {0.76, 2}, {0.76, 3}}, 0.4);
  const Fitted body = Fit(intro, BodyText(fonts, 17), kColumn, {{1, 1}, {1, 2}, {0.94, 2}, {0.88, 2}, {0.88, 3}}, 0.4);
  std::vector<Line> bodyLines = body.lines;
  for (const char* s : {"پیش از ادامه، بهتر است برنامه‌های باز دیگر را ببندید.", "برای ادامه، دکمه «مرحله بعد» را بزنید."})
    bodyLines.push_back(Text(body.style, s));

  // Stacked upwards from the last sentence, which keeps its place above the Next button; with
  // the sample's title every piece lands where it always was (disc at 262, heading at 375).
  const double bodyLeading = bodyLines.size() > 3 ? 27 * body.scale : 30;
  const std::vector<double> bodyStack = Stack(bodyLines, bodyLeading, 3);
  const double bodyFirst = 490 - bodyStack.back();
  const double rule = bodyFirst - 38;
  const std::vector<double> headStack = Stack(head.lines, 35 * head.scale, 4);
  const double headFirst = rule - 17 - headStack.back();
  // The disc fills the room left above the heading, from y 176 down; too little room, no disc.
  const double discBottom = headFirst - 48 - 3;
  const double radius = std::min(62.0, (discBottom - 176) / 2);
  if (radius >= 28) DrawMediumDisc(canvas, kCentre, discBottom - radius, radius);

  std::vector<Box> inks;
  for (size_t i = 0; i < head.lines.size(); ++i)
    inks.push_back(DrawAligned(canvas, head.lines[i], kCentre, headFirst + headStack[i], Align::Centre, kInk));
  DrawRule(canvas, 290, 552, rule);
  for (size_t i = 0; i < bodyLines.size(); ++i)
    inks.push_back(DrawAligned(canvas, bodyLines[i], kCentre, bodyFirst + bodyStack[i], Align::Centre, kInkSoft));
  // Next: hotspot at client (474, 533) size 83 x 35 on a page that draws the picture 2 pixels in.
  const Box next{470, 531, 557, 570};
  for (const Box& ink : inks)
    if (ink.x0 < 172 || ink.x1 > 670 || ink.y0 < 160 || ink.y1 > next.y0 - 4)
      throw std::logic_error("the welcome text leaves its column");
  DrawButton(canvas, next, "مرحله بعد", ButtonKind::Primary, fonts);
  DrawCentredLines(canvas, BodyText(fonts, 14), {"برای خروج از برنامه نصب، کلید Esc را بزنید."}, 421, 640, 0,
                   Mix(kInkSoft, kPanel, 0.25));
}

void PaintInstall(Canvas& canvas, const Fonts& fonts) {
  DrawCentredLines(canvas, TitleText(fonts), {"مسیر نصب برنامه را تعیین کنید"}, 448, 215, 0, kInk);
  DrawRule(canvas, 320, 576, 233);
  DrawLines(canvas, BodyText(fonts, 15),
            {"برنامه در پوشه‌ای که در کادر زیر آمده است نصب می‌شود.",
             "برای برگزیدن پوشه‌ای دیگر، دکمه «تغییر مسیر» را بزنید."},
            605, 266, 25, kInkSoft);
  const Style label = TitleText(fonts, 15);
  DrawAligned(canvas, Text(label, "مسیر نصب"), 605, 322, Align::Right, kInk);
  DrawWhiteBox(canvas, Box{290, 328, 607, 366});                                       // under `path`
  DrawButton(canvas, Box{303, 379, 435, 409}, "تغییر مسیر", ButtonKind::Secondary, fonts);  // `change`
  DrawAligned(canvas, Text(label, "گروه برنامه"), 605, 439, Align::Right, kInk);
  DrawWhiteBox(canvas, Box{291, 445, 606, 481});                                       // under `Group`
  // Rows 481..533 stay plain: the wait text, the gauge and the file name appear there.
  DrawButton(canvas, Box{359, 534, 446, 568}, "مرحله قبل", ButtonKind::Secondary, fonts);  // `cancel`
  DrawButton(canvas, Box{464, 534, 550, 568}, "مرحله بعد", ButtonKind::Primary, fonts);    // `Next`
  DrawCentredLines(canvas, BodyText(fonts, 14), {"برای خروج از برنامه نصب، کلید Esc را بزنید."}, 421, 640, 0,
                   Mix(kInkSoft, kPanel, 0.25));
}

void PaintFinish(Canvas& canvas, const Fonts& fonts, FinishStyle style) {
  const bool xp = style == FinishStyle::Windows5;
  // Success mark: a green disc with a white tick, beside the title.
  const double cx = 630, cy = 205, r = 21;
  canvas.FillShape(Disc(cx, cy, r), Around(cx, cy, r), VerticalGradient(cy - r, RgbOf(0x46A874), cy + r, RgbOf(0x23794A)));
  canvas.FillShape(Union(Capsule(cx - 10, cy + 1, cx - 3, cy + 8, 5), Capsule(cx - 3, cy + 8, cx + 10, cy - 7, 5)),
                   Around(cx, cy, r), kWhite);
  DrawAligned(canvas, Text(TitleText(fonts, 23), "برنامه با موفقیت نصب شد"), 598, 214, Align::Right, kInk);
  DrawRule(canvas, 200, 642, 236);

  const std::vector<std::string> lines =
      xp ? std::vector<std::string>{"برای نمایش درست نوشته‌های فارسی در ویندوز:",
                                    "۱. در Control Panel بخش Regional and Language Options را باز کنید.",
                                    "۲. در زبانه Regional Options، قالب را Persian بگذارید.",
                                    "۳. در زبانه Advanced، زبان برنامه‌های غیریونیکد را",
                                    "     یک زبان عربی مانند Arabic (Egypt) بگذارید."}
         : std::vector<std::string>{"برای نمایش درست نوشته‌های فارسی در ویندوز:",
                                    "۱. در Control Panel بخش Region and Language را باز کنید.",
                                    "۲. در زبانه Formats، قالب (Format) را Persian بگذارید.",
                                    "۳. در زبانه Administrative، زبان برنامه‌های غیریونیکد را",
                                    "     با Change system locale یک زبان عربی مانند Arabic (Egypt) بگذارید."};
  DrawLines(canvas, BodyText(fonts, 15), lines, 650, 266, 24, kInk);

  // The two dialogs side by side, in reading order from the right.
  const Box first{434, 386, 656, 574}, second{186, 386, 408, 574};
  DrawFormatsDialog(canvas, fonts, first, xp, "۲");
  DrawLocaleDialog(canvas, fonts, second, xp, "۳");

  DrawLines(canvas, BodyText(fonts, 14), {"پس از این تغییرها، ویندوز را دوباره راه‌اندازی کنید."}, 650, 616, 0, kInkSoft);
  // Exit: the `OkExit` hotspot (220, 595) size 84 x 30 lies inside.
  DrawButton(canvas, Box{217, 593, 310, 628}, "خروج", ButtonKind::Primary, fonts);
}

void PaintExit(Canvas& canvas, const Fonts& fonts) {
  // A question mark on a blue disc above the question.
  const double cx = 455, cy = 238, r = 38;
  canvas.FillShape(Disc(cx, cy, r), Around(cx, cy, r), VerticalGradient(cy - r, kBandTop, cy + r, kBandBottom));
  canvas.FillShape(Ring(cx, cy, r - 5, r - 3), Around(cx, cy, r), kGold);
  DrawCentred(canvas, Text(TitleText(fonts, 44), "؟"), Box{int(cx - r), int(cy - r), int(cx + r), int(cy + r)}, kWhite);

  DrawCentredLines(canvas, TitleText(fonts, 23), {"آیا می‌خواهید از برنامه نصب خارج شوید؟"}, 455, 318, 0, kInk);
  DrawCentredLines(canvas, BodyText(fonts, 15), {"اگر اکنون خارج شوید، برنامه نصب نخواهد شد."}, 455, 350, 0, kInkSoft);
  // Confirm on the right under `Ok` (client 467, 393, 86 x 27), cancel on the left under
  // `Label1` (client 363, 393, 85 x 25); the picture lies 2 pixels in.
  DrawButton(canvas, Box{463, 391, 553, 422}, "تایید", ButtonKind::Primary, fonts);
  DrawButton(canvas, Box{359, 391, 448, 422}, "انصراف", ButtonKind::Secondary, fonts);
  DrawWatermark(canvas, 421, 565, 78, Mix(kPanel, kPanelLine, 0.8));
}

void PaintChooser(Canvas& canvas, const Fonts& fonts) {
  DrawCentredLines(canvas, TitleText(fonts, 21), {"تعیین مسیر نصب"}, 403.5, 222, 0, kInk);
  DrawRule(canvas, 330, 477, 234);
  // The white panel holding the folder label, the two lists and the figure rows.
  const Box panel{232, 247, 575, 620};
  canvas.FillShape(RoundRect(panel.x0, panel.y0, panel.x1, panel.y1, 6), Box{231, 246, 576, 621}, kBoxBorder);
  canvas.FillShape(RoundRect(panel.x0 + 1, panel.y0 + 1, panel.x1 - 1, panel.y1 - 1, 5), Box{231, 246, 576, 621}, kWhite);
  // A rule above the two rows of disk figures, which are written at run time.
  canvas.FillShape([](double x, double y) { return x >= 246 && x < 562 && y >= 531 && y < 532; }, Box{245, 530, 563, 533},
                   RgbOf(0xDCE3EA));
  canvas.FillShape([](double x, double y) { return x >= 246 && x < 562 && y >= 575 && y < 576; }, Box{245, 574, 563, 577},
                   RgbOf(0xDCE3EA));
  DrawButton(canvas, Box{413, 582, 502, 614}, "تایید", ButtonKind::Primary, fonts);     // `ok`
  DrawButton(canvas, Box{309, 582, 395, 614}, "انصراف", ButtonKind::Secondary, fonts);  // `cancel`
}

// ---- The uninstaller's pages: the exit page's frame and place of the icon, text centred on
// picture x 455 (client 457), buttons under the hotspots of a window that draws the picture 2
// pixels in.

namespace {

constexpr double kRemoveCentre = 455, kRemoveColumn = 420;
constexpr double kIconX = 455, kIconY = 238, kIconRadius = 38;

// The exit page's blue disc with its gold ring, for an icon drawn on it.
void DrawIconDisc(Canvas& canvas) {
  const double cx = kIconX, cy = kIconY, r = kIconRadius;
  canvas.FillShape(Disc(cx, cy, r), Around(cx, cy, r), VerticalGradient(cy - r, kBandTop, cy + r, kBandBottom));
  canvas.FillShape(Ring(cx, cy, r - 5, r - 3), Around(cx, cy, r), kGold);
}

// A waste bin in white on the disc: the lid with its handle, and a tapering body with slots.
void DrawBinIcon(Canvas& canvas) {
  const double cx = kIconX, cy = kIconY;
  const Box area = Around(cx, cy, kIconRadius);
  const Shape handle = Minus(RoundRect(cx - 6, cy - 22, cx + 6, cy - 14, 2.5), RoundRect(cx - 3.5, cy - 19.5, cx + 3.5, cy - 14, 1));
  const Shape lid = RoundRect(cx - 17, cy - 16, cx + 17, cy - 10.5, 2);
  const Shape body = Polygon({{cx - 13.5, cy - 8}, {cx + 13.5, cy - 8}, {cx + 11, cy + 20}, {cx - 11, cy + 20}});
  canvas.FillShape(Union(handle, Union(lid, body)), area, kWhite);
  for (double dx : {-6.0, 0.0, 6.0})
    canvas.FillShape(Capsule(cx + dx, cy - 3, cx + dx * 0.85, cy + 15, 2.6), area, kBandBottom);
}

// A heading carrying the title and the plain lines under it, inside the removal column between
// rows top and bottom. The heading is fitted as the welcome heading is: smaller type, then more
// lines, never cut. The block keeps the exit page's baselines (heading at 318, the next line 32
// lower) while they fit above bottom, and rises no further than it must.
void DrawRemoveText(Canvas& canvas, const Fonts& fonts, const char* sentence, const std::string& title,
                    const std::vector<std::string>& under, const Style& underStyle, double top, double bottom) {
  const Paragraph heading(sentence, title, true);
  std::vector<Line> underLines;
  for (const std::string& s : under) underLines.push_back(Text(underStyle, s));
  // Baselines relative to the heading's first; the last entry is the block's ink bottom.
  auto layOut = [&](const Fitted& head) {
    std::vector<double> baselines = Stack(head.lines, 32 * head.scale, 4);
    const Line& last = head.lines.back();
    double next = baselines.back() + std::ceil(std::max(32.0, last.inkBottom - underLines.front().inkTop + 8));
    for (size_t i = 0; i < underLines.size(); ++i) {
      if (i) next += std::ceil(std::max(24.0, underLines[i - 1].inkBottom - underLines[i].inkTop + 4));
      baselines.push_back(next);
    }
    baselines.push_back(next + underLines.back().inkBottom);
    return baselines;
  };
  const Fitted head = Fit(heading, TitleText(fonts, 23), kRemoveColumn,
                          {{1, 1}, {0.92, 1}, {0.84, 1}, {0.92, 2}, {0.84, 2}, {0.76, 2}, {0.76, 3}}, 0.4,
                          [&](const Fitted& f) { return layOut(f).back() - f.lines.front().inkTop <= bottom - top - 1; });
  const std::vector<double> baselines = layOut(head);
  const double first = std::min(318.0, std::floor(bottom - baselines.back()));

  std::vector<Box> inks;
  for (size_t i = 0; i < head.lines.size(); ++i)
    inks.push_back(DrawAligned(canvas, head.lines[i], kRemoveCentre, first + baselines[i], Align::Centre, kInk));
  for (size_t i = 0; i < underLines.size(); ++i)
    inks.push_back(DrawAligned(canvas, underLines[i], kRemoveCentre, first + baselines[head.lines.size() + i],
                               Align::Centre, kInkSoft));
  for (const Box& ink : inks)
    if (ink.x0 < kRemoveCentre - kRemoveColumn / 2 - 3 || ink.x1 > kRemoveCentre + kRemoveColumn / 2 + 3 || ink.y0 < top ||
        ink.y1 > bottom)
      throw std::logic_error("the removal text leaves its column");
}

}  // namespace

void PaintRemoveAsk(Canvas& canvas, const Fonts& fonts, const std::string& title) {
  DrawIconDisc(canvas);
  DrawCentred(canvas, Text(TitleText(fonts, 44), "؟"),
              Box{int(kIconX - kIconRadius), int(kIconY - kIconRadius), int(kIconX + kIconRadius), int(kIconY + kIconRadius)},
              kWhite);
  DrawRemoveText(canvas, fonts, "آیا می‌خواهید «{title}» را حذف کنید؟", title,
                 {"پرونده‌هایی که خودتان در پوشه برنامه گذاشته‌اید، حذف نمی‌شوند."}, BodyText(fonts, 15), 282, 411);
  // No, the default answer, on the left under `No` (client 363, 423, 86 x 27); yes on the
  // right under `Yes` (client 467, 423, 86 x 27).
  DrawButton(canvas, Box{463, 421, 553, 452}, "بله", ButtonKind::Secondary, fonts);
  DrawButton(canvas, Box{359, 421, 449, 452}, "خیر", ButtonKind::Primary, fonts);
  DrawWatermark(canvas, 421, 575, 70, Mix(kPanel, kPanelLine, 0.8));
}

void PaintRemoveProgress(Canvas& canvas, const Fonts& fonts, const std::string& title) {
  DrawIconDisc(canvas);
  DrawBinIcon(canvas);
  // Rows from 392 down stay plain: the gauge (client 300, 392, 309 x 14) and the file name
  // (client 250, 412, 410 x 20) appear there.
  DrawRemoveText(canvas, fonts, "«{title}» در حال حذف است", title, {"لطفاً صبر کنید."}, BodyText(fonts, 15), 282, 386);
  DrawWatermark(canvas, 421, 575, 70, Mix(kPanel, kPanelLine, 0.8));
}

void PaintRemoveDone(Canvas& canvas, const Fonts& fonts) {
  // The outcome is written at run time (client 240, 284, 430 x 24); above it only a quiet star.
  DrawWatermark(canvas, kIconX, 236, 34, Mix(kPanel, kGold, 0.45));
  canvas.FillShape(Disc(kIconX, 236, 5), Around(kIconX, 236, 5), Mix(kPanel, kGold, 0.7));
  // The white box whose inside (client 240, 316, 430 x 252) takes the list of kept folders: its
  // border hugs that inside, square inside and lightly rounded outside, to keep clear of the
  // panel's inner line.
  const Box inside{238, 316, 668, 568};
  canvas.FillShape(RoundRect(inside.x0 - 1, inside.y0 - 1, inside.x1 + 1, inside.y1 + 1, 2),
                   Box{inside.x0 - 2, inside.y0 - 2, inside.x1 + 2, inside.y1 + 2}, kBoxBorder);
  canvas.FillShape(RoundRect(inside.x0, inside.y0, inside.x1, inside.y1, 0), inside, kWhite);
  // Close under `Close` (client 370, 590, 86 x 27).
  DrawButton(canvas, Box{366, 588, 456, 619}, "پایان", ButtonKind::Primary, fonts);
}

}  // namespace assetgen
