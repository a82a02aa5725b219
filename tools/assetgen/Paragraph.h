// Mixed-direction sentences of the pictures that carry the product's title: the title keeps its
// own direction inside the sentence, lines break at spaces, and a sentence is fitted to a width.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Text.h"
#include "Widgets.h"

namespace assetgen {

/// Where a sentence takes the product's title.
inline constexpr std::string_view kTitleMark = "{title}";

/// A sentence with its characters' directions resolved once (a simplified Unicode bidi
/// algorithm: strong letters, Persian digits as Arabic numbers, neutrals by their neighbours,
/// bracket pairs, the title as a first-strong isolate), to be laid out whole or by lines.
class Paragraph {
 public:
  /// Characters [begin, end) of the paragraph.
  using Range = std::pair<size_t, size_t>;

  /// sentence is UTF-8 with one kTitleMark, which becomes title (UTF-8; see TitleProblem).
  /// The paragraph reads right to left when rtl is true, left to right when false, and in the
  /// direction of its first letter when unset (right to left without one).
  Paragraph(std::string_view sentence, std::string_view title, std::optional<bool> rtl);
  /// Text without a title, taken as it is.
  Paragraph(std::string_view text, std::optional<bool> rtl);

  size_t Size() const { return chars_.size(); }

  /// The runs of a range in visual order, left to right, each in one font and direction.
  std::vector<Run> VisualRuns(const Style& style, Range range) const;
  Line LayOut(const Style& style, Range range) const;
  Line LayOut(const Style& style) const { return LayOut(style, {0, chars_.size()}); }
  /// The UTF-8 text of a range.
  std::string TextOf(Range range) const;

  /// The fewest lines, at most maxLines, broken at spaces, whose every line is at most width
  /// wide; among those breaks, the one with the narrowest widest line. Empty when none fits.
  std::vector<Range> Wrap(const Style& style, double width, int maxLines) const;

 private:
  struct Char {
    char32_t cp;
    size_t offset, length;  // bytes in text_
    int level;              // bidi embedding level: odd reads right to left
    bool arabicNumber;
  };
  void Resolve(size_t titleBegin, size_t titleEnd, std::optional<bool> rtl);
  double Width(const Style& style, Range range) const;

  std::string text_;
  std::vector<Char> chars_;
};

/// One way to set a paragraph: a scale of the style's sizes and a number of lines.
struct FitStep {
  double scale;
  int lines;
};

struct Fitted {
  std::vector<Line> lines;
  std::vector<Paragraph::Range> ranges;
  Style style{};  // the style scaled
  double scale = 1;
};

/// The first step whose lines fit width (and that accept, when given, takes). Past the last step
/// its number of lines is kept and the size falls in steps of 4 % down to minScale; throws
/// std::runtime_error when even that does not fit.
Fitted Fit(const Paragraph& paragraph, const Style& style, double width, const std::vector<FitStep>& steps,
           double minScale, const std::function<bool(const Fitted&)>& accept = nullptr);

/// Baselines of lines set one under another, the first at 0: leading apart, or further where
/// the ink of one line would come closer than gap to the ink of the next; whole pixels apart.
std::vector<double> Stack(const std::vector<Line>& lines, double leading, double gap);

/// Why the fonts cannot draw a product title, or "" when they can: not UTF-8, empty, a control
/// character, or a character that neither the Persian nor the Latin font of a style has.
std::string TitleProblem(std::string_view title, const std::vector<Style>& styles);

}  // namespace assetgen
