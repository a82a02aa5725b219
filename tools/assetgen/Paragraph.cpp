// Direction resolution, line breaking and fitting for the sentences that carry the title. Each
// run is shaped by HarfBuzz in its own direction (Text.cpp); this file decides the runs and
// their visual order, which HarfBuzz leaves to its caller.
#include "Paragraph.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <stdexcept>

namespace assetgen {

namespace {

constexpr char32_t kZwnj = 0x200C, kZwj = 0x200D, kLrm = 0x200E, kRlm = 0x200F;

struct Decoded {
  char32_t cp;
  size_t offset, length;
};

// Strict UTF-8: no overlong forms, surrogates or code points past U+10FFFF.
bool DecodeUtf8(std::string_view s, std::vector<Decoded>& out) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = 0;
    char32_t cp = 0, min = 0;
    if (c < 0x80) n = 1, cp = c;
    else if (c >= 0xC2 && c < 0xE0) n = 2, cp = c & 0x1F, min = 0x80;
    else if (c >= 0xE0 && c < 0xF0) n = 3, cp = c & 0x0F, min = 0x800;
    else if (c >= 0xF0 && c < 0xF5) n = 4, cp = c & 0x07, min = 0x10000;
    else return false;
    if (i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k) {
      const unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = cp << 6 | (t & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    out.push_back({cp, i, n});
    i += n;
  }
  return true;
}

enum class Type { L, R, AN, N };

Type Classify(char32_t cp) {
  if ((cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z') || (cp >= '0' && cp <= '9')) return Type::L;
  if ((cp >= 0xC0 && cp <= 0x24F && cp != 0xD7 && cp != 0xF7) || (cp >= 0x370 && cp <= 0x52F) ||
      (cp >= 0x1E00 && cp <= 0x1FFF) || cp == kLrm)
    return Type::L;
  if ((cp >= 0x660 && cp <= 0x669) || (cp >= 0x6F0 && cp <= 0x6F9)) return Type::AN;
  if ((cp >= 0x590 && cp <= 0x8FF) || (cp >= 0xFB1D && cp <= 0xFDFF) || (cp >= 0xFE70 && cp <= 0xFEFF) || cp == kRlm)
    return Type::R;
  return Type::N;
}

// Resolves the characters idx (in logical order) of one isolating sequence at embedding level
// `level` into levels. Arabic numbers count as right to left for the neutrals beside them.
void ResolveSequence(const std::vector<size_t>& idx, int level, const std::vector<Type>& types,
                     const std::vector<Decoded>& chars, std::vector<int>& levels) {
  enum Dir { kLtr, kRtl };
  const Dir own = level % 2 ? kRtl : kLtr;
  auto strong = [&](size_t i, Dir* d) {
    if (types[i] == Type::N) return false;
    *d = types[i] == Type::L ? kLtr : kRtl;
    return true;
  };
  std::vector<Dir> dir(idx.size());
  for (size_t k = 0; k < idx.size(); ++k) {
    if (strong(idx[k], &dir[k])) continue;
    Dir before = own, after = own;
    for (size_t j = k; j-- > 0;)
      if (strong(idx[j], &before)) break;
    for (size_t j = k + 1; j < idx.size(); ++j)
      if (strong(idx[j], &after)) break;
    dir[k] = before == after ? before : own;
  }
  // A closing bracket goes with its opening one, so "(Egypt)" stays whole.
  std::vector<size_t> open;
  for (size_t k = 0; k < idx.size(); ++k) {
    const char32_t cp = chars[idx[k]].cp;
    if (cp == '(' || cp == '[' || cp == '{') open.push_back(k);
    const char32_t opener = cp == ')' ? '(' : cp == ']' ? '[' : cp == '}' ? '{' : 0;
    if (opener && !open.empty() && chars[idx[open.back()]].cp == opener) {
      dir[k] = dir[open.back()];
      open.pop_back();
    }
  }
  for (size_t k = 0; k < idx.size(); ++k) {
    const size_t i = idx[k];
    if (types[i] == Type::AN) levels[i] = level % 2 ? level + 1 : level + 2;
    else if (dir[k] == kRtl) levels[i] = level % 2 ? level : level + 1;
    else levels[i] = level % 2 ? level + 1 : level;
  }
}

std::optional<bool> FirstStrongIsRtl(const std::vector<Type>& types, size_t begin, size_t end) {
  for (size_t i = begin; i < end; ++i) {
    if (types[i] == Type::L) return false;
    if (types[i] == Type::R) return true;
  }
  return std::nullopt;
}

Style Scaled(const Style& s, double scale) { return Style{s.persian, s.latin, s.size * scale, s.latinSize * scale}; }

}  // namespace

Paragraph::Paragraph(std::string_view sentence, std::string_view title, std::optional<bool> rtl) {
  const size_t mark = sentence.find(kTitleMark);
  if (mark == std::string_view::npos) throw std::invalid_argument("a sentence without the title's place");
  text_ = std::string(sentence.substr(0, mark));
  const size_t titleBegin = text_.size();
  text_ += title;
  const size_t titleEnd = text_.size();
  text_ += sentence.substr(mark + kTitleMark.size());
  Resolve(titleBegin, titleEnd, rtl);
}

Paragraph::Paragraph(std::string_view text, std::optional<bool> rtl) : text_(text) { Resolve(0, 0, rtl); }

void Paragraph::Resolve(size_t titleBegin, size_t titleEnd, std::optional<bool> rtl) {
  std::vector<Decoded> decoded;
  if (!DecodeUtf8(text_, decoded)) throw std::invalid_argument("text is not UTF-8");
  std::vector<Type> types;
  for (const Decoded& d : decoded) types.push_back(Classify(d.cp));

  const bool paragraphRtl = rtl ? *rtl : FirstStrongIsRtl(types, 0, types.size()).value_or(true);
  const int level = paragraphRtl ? 1 : 0;
  std::vector<size_t> outer, inner;
  for (size_t i = 0; i < decoded.size(); ++i)
    (decoded[i].offset >= titleBegin && decoded[i].offset < titleEnd ? inner : outer).push_back(i);
  std::vector<int> levels(decoded.size(), level);
  ResolveSequence(outer, level, types, decoded, levels);
  if (!inner.empty()) {
    // The title is isolated: it takes the direction of its own first letter and counts as one
    // neutral in the sentence around it.
    const bool titleRtl = FirstStrongIsRtl(types, inner.front(), inner.back() + 1).value_or(paragraphRtl);
    const int titleLevel = titleRtl ? (level % 2 ? level + 2 : level + 1) : (level % 2 ? level + 1 : level + 2);
    ResolveSequence(inner, titleLevel, types, decoded, levels);
  }
  for (size_t i = 0; i < decoded.size(); ++i)
    chars_.push_back({decoded[i].cp, decoded[i].offset, decoded[i].length, levels[i], types[i] == Type::AN});
}

std::string Paragraph::TextOf(Range range) const {
  if (range.first >= range.second) return {};
  const size_t begin = chars_[range.first].offset;
  const size_t end = chars_[range.second - 1].offset + chars_[range.second - 1].length;
  return text_.substr(begin, end - begin);
}

std::vector<Run> Paragraph::VisualRuns(const Style& style, Range range) const {
  struct Piece {
    Range chars;
    int level;
    bool persianFont;
  };
  std::vector<Piece> pieces;
  for (size_t i = range.first; i < range.second; ++i) {
    const Char& c = chars_[i];
    // Characters the one font lacks (brackets in Noto Naskh) come from the other, still in
    // their own direction so brackets are mirrored. Joiners stay with the Persian text they join.
    const bool persianFont = c.level % 2 ? c.cp == kZwnj || c.cp == kZwj || Covers(style.persian, c.cp)
                                         : c.arabicNumber || (!Covers(style.latin, c.cp) && Covers(style.persian, c.cp));
    if (!pieces.empty() && pieces.back().level == c.level && pieces.back().persianFont == persianFont)
      pieces.back().chars.second = i + 1;
    else
      pieces.push_back({{i, i + 1}, c.level, persianFont});
  }
  if (pieces.empty()) return {};
  // Reverses every stretch at each level from the highest down to the lowest odd one.
  int highest = 0, lowestOdd = std::numeric_limits<int>::max();
  for (const Piece& p : pieces) {
    highest = std::max(highest, p.level);
    if (p.level % 2) lowestOdd = std::min(lowestOdd, p.level);
  }
  for (int level = highest; level >= lowestOdd && level > 0; --level) {
    for (size_t i = 0; i < pieces.size();) {
      if (pieces[i].level < level) {
        ++i;
        continue;
      }
      size_t j = i;
      while (j < pieces.size() && pieces[j].level >= level) ++j;
      std::reverse(pieces.begin() + long(i), pieces.begin() + long(j));
      i = j;
    }
  }
  std::vector<Run> runs;
  for (const Piece& p : pieces) {
    if (p.persianFont) runs.push_back({style.persian, style.size, TextOf(p.chars), p.level % 2 == 1});
    else runs.push_back({style.latin, style.latinSize, TextOf(p.chars), p.level % 2 == 1});
  }
  return runs;
}

Line Paragraph::LayOut(const Style& style, Range range) const { return assetgen::LayOut(VisualRuns(style, range), false); }

double Paragraph::Width(const Style& style, Range range) const { return AdvanceOf(VisualRuns(style, range)); }

std::vector<Paragraph::Range> Paragraph::Wrap(const Style& style, double width, int maxLines) const {
  std::vector<Range> words;
  for (size_t i = 0; i < chars_.size();) {
    if (chars_[i].cp == ' ') {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < chars_.size() && chars_[j].cp != ' ') ++j;
    words.push_back({i, j});
    i = j;
  }
  const size_t n = words.size();
  if (n == 0) return {};
  // Widths of the lines holding words i..j-1, measured once each; a line only widens as it
  // takes more words, so the search along j stops at the first one too wide.
  std::map<Range, double> widths;
  auto lineWidth = [&](size_t i, size_t j) {
    auto [it, added] = widths.try_emplace({i, j}, 0.0);
    if (added) it->second = Width(style, {words[i].first, words[j - 1].second});
    return it->second;
  };
  constexpr double kNone = std::numeric_limits<double>::infinity();
  // widest[m][j]: the narrowest widest line that sets the first j words on m lines.
  std::vector<std::vector<double>> widest(size_t(maxLines) + 1, std::vector<double>(n + 1, kNone));
  std::vector<std::vector<size_t>> from(size_t(maxLines) + 1, std::vector<size_t>(n + 1, 0));
  widest[0][0] = 0;
  for (int m = 1; m <= maxLines; ++m) {
    for (size_t i = 0; i < n; ++i) {
      if (widest[size_t(m) - 1][i] == kNone) continue;
      for (size_t j = i + 1; j <= n; ++j) {
        const double w = lineWidth(i, j);
        if (w > width) break;
        const double candidate = std::max(widest[size_t(m) - 1][i], w);
        if (candidate < widest[size_t(m)][j]) widest[size_t(m)][j] = candidate, from[size_t(m)][j] = i;
      }
    }
    if (widest[size_t(m)][n] == kNone) continue;
    std::vector<Range> lines(static_cast<size_t>(m));
    size_t j = n;
    for (int k = m; k > 0; --k) {
      const size_t i = from[size_t(k)][j];
      lines[size_t(k) - 1] = {words[i].first, words[j - 1].second};
      j = i;
    }
    return lines;
  }
  return {};
}

Fitted Fit(const Paragraph& paragraph, const Style& style, double width, const std::vector<FitStep>& steps,
           double minScale, const std::function<bool(const Fitted&)>& accept) {
  auto attempt = [&](double scale, int lines, Fitted* out) {
    const Style s = Scaled(style, scale);
    std::vector<Paragraph::Range> ranges = paragraph.Wrap(s, width, lines);
    if (ranges.empty()) return false;
    Fitted f;
    f.style = s;
    f.scale = scale;
    f.ranges = ranges;
    for (const Paragraph::Range& r : ranges) f.lines.push_back(paragraph.LayOut(s, r));
    if (accept && !accept(f)) return false;
    *out = std::move(f);
    return true;
  };
  Fitted fitted;
  for (const FitStep& step : steps)
    if (attempt(step.scale, step.lines, &fitted)) return fitted;
  const FitStep last = steps.back();
  for (double scale = last.scale * 0.96; scale >= minScale; scale *= 0.96)
    if (attempt(scale, last.lines, &fitted)) return fitted;
  throw std::runtime_error("\"" + paragraph.TextOf({0, paragraph.Size()}) + "\" does not fit in " +
                           std::to_string(last.lines) + " lines of " + std::to_string(int(width)) + " pixels");
}

std::vector<double> Stack(const std::vector<Line>& lines, double leading, double gap) {
  std::vector<double> baselines;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == 0) {
      baselines.push_back(0);
      continue;
    }
    const double touching = lines[i - 1].inkBottom - lines[i].inkTop + gap;
    baselines.push_back(baselines.back() + std::ceil(std::max(leading, touching)));
  }
  return baselines;
}

std::string TitleProblem(std::string_view title, const std::vector<Style>& styles) {
  std::vector<Decoded> chars;
  if (!DecodeUtf8(title, chars)) return "the title is not UTF-8";
  auto name = [](char32_t cp) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", unsigned(cp));
    return std::string(buffer);
  };
  bool visible = false;
  for (const Decoded& d : chars) {
    const char32_t cp = d.cp;
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return "the title has the control character " + name(cp);
    if (cp == ' ' || cp == kZwnj || cp == kZwj || cp == kLrm || cp == kRlm) continue;
    visible = true;
    for (const Style& s : styles)
      if (!Covers(s.persian, cp) && !Covers(s.latin, cp))
        return "the title has " + name(cp) + ", which the fonts of the pictures do not draw";
  }
  if (!visible) return "the title is empty";
  return "";
}

}  // namespace assetgen
