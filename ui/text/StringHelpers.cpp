// The pages' text helpers. The rules are those of the page code they serve: in particular
// ReplaceAt deletes first and then cuts the result at the same position, which is what makes a
// position past the end append the insert text.
#include "ui/text/StringHelpers.h"

#include "engine/platform/Unicode.h"

namespace installer {

std::string LeftStr(const std::string& text, uint8_t count) {
  if (text.empty() || count == 0) return {};
  if (text.size() < count) return text;
  return text.substr(0, count);
}

std::string RightStr(const std::string& text, uint8_t count) {
  if (text.empty() || count == 0) return {};
  if (text.size() < count) return text;
  return text.substr(text.size() - count);
}

std::string MidStr(const std::string& text, uint8_t position, uint8_t count) {
  const size_t length = text.size();
  if (length == 0 || position == 0 || count == 0 || length < position) return {};
  if (length - position < count) {
    // At most `count`, so the rest of the text is always reachable with an 8-bit count.
    return RightStr(text, static_cast<uint8_t>(length - position + 1));
  }
  return text.substr(position - 1, count);
}

std::string ReplaceAt(const std::string& text, uint8_t position, uint8_t count,
                      const std::string& insert) {
  if (text.empty() || position == 0) return {};
  std::string working = text;
  if (count > 0 && position <= working.size()) {
    working.erase(position - 1, count);  // erase stops at the end by itself
  }
  const std::string tail = working.size() < position ? std::string() : working.substr(position - 1);
  const std::string head = LeftStr(working, static_cast<uint8_t>(position - 1));
  return head + insert + tail;
}

std::string GroupThousands(const std::string& digits) {
  std::string t = digits;
  const size_t groups = (digits.size() + 2) / 3;
  for (size_t k = 1; k < groups; ++k) {
    // 1-based position (length - 4k + 2): the length already counts the k - 1 commas put in,
    // so the k-th comma lands after the first L - 3k digits.
    const size_t position = t.size() - 4 * k + 2;
    t.insert(position - 1, 1, ',');
  }
  return t;
}

namespace {

// Hebrew, Arabic, Syriac, Thaana and their presentation forms: the letters that take a
// backslash beside them into their own direction.
bool HasRightToLeftLetter(const std::string& text) {
  size_t pos = 0;
  char32_t c = 0;
  while (pos < text.size()) {
    if (!NextCodePoint(text, pos, c)) continue;
    if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF)) return true;
  }
  return false;
}

}  // namespace

std::string PathTextForDisplay(const std::string& text) {
  // Without a right-to-left letter every backslash stays in place by itself, and Wine's Tahoma
  // would draw the mark of a left-to-right run as a box.
  if (!HasRightToLeftLetter(text)) return text;
  std::string shown;
  shown.reserve(text.size() + 16);
  for (const char c : text) {
    shown += c;
    if (c == '\\') shown += "\u200E";
  }
  return shown;
}

}  // namespace installer
