// The program's text is UTF-8; names from the file system are carried as WTF-8, so that every
// name Windows can hold (an unpaired surrogate included) comes back to Windows unchanged.
// These conversions need no OS, so they are shared by the Win32 layer, the pages and the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace installer {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

/// Decodes the sequence at `pos` and moves past it. A malformed sequence (a stray continuation
/// byte, a cut-off or overlong sequence, a value above U+10FFFF, or a surrogate pair spelled as
/// two three-byte sequences) yields nothing and moves `pos` by one byte. An unpaired surrogate
/// on its own is accepted: that is WTF-8. `strict` refuses it too (plain UTF-8).
bool NextCodePoint(std::string_view text, size_t& pos, char32_t& codePoint, bool strict = false);

/// Appends `codePoint` in UTF-8 (surrogate values as their three bytes, which is WTF-8).
void AppendUtf8(std::string& out, char32_t codePoint);

/// UTF-16 code units (wchar_t on Windows, char16_t elsewhere) to WTF-8, losslessly.
template <typename Unit>
std::string Utf16ToUtf8(std::basic_string_view<Unit> units) {
  static_assert(sizeof(Unit) >= 2);
  std::string out;
  out.reserve(units.size() + units.size() / 2);
  for (size_t i = 0; i < units.size(); ++i) {
    const auto unit = static_cast<char32_t>(static_cast<uint16_t>(units[i]));
    if (unit < 0x80) {
      out += static_cast<char>(unit);
      continue;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size()) {
      const auto next = static_cast<char32_t>(static_cast<uint16_t>(units[i + 1]));
      if (next >= 0xDC00 && next <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, unit);  // also an unpaired surrogate, kept as it is
  }
  return out;
}

/// Appends `c` as one UTF-16 code unit, or a surrogate pair above U+FFFF.
template <typename String>
void AppendUtf16(String& out, char32_t c) {
  using Unit = typename String::value_type;
  if (c >= 0x10000) {
    out += static_cast<Unit>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<Unit>(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    out += static_cast<Unit>(c);
  }
}

/// WTF-8 to UTF-16 code units. False, with `out` unspecified, when the text is not WTF-8: such
/// a text names no file, and guessing would name another one.
template <typename String>
bool Utf8ToUtf16(std::string_view text, String& out) {
  using Unit = typename String::value_type;
  out.clear();
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
      out += static_cast<Unit>(byte);
      ++pos;
      continue;
    }
    char32_t c = 0;
    if (!NextCodePoint(text, pos, c)) return false;
    AppendUtf16(out, c);
  }
  return true;
}

/// The same for text that is only shown: a malformed byte shows as U+FFFD.
template <typename String>
String Utf8ToUtf16ForDisplay(std::string_view text) {
  String out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    char32_t c = 0;
    if (!NextCodePoint(text, pos, c)) c = kReplacementCharacter;
    AppendUtf16(out, c);
  }
  return out;
}

/// True when the whole text is well-formed UTF-8 (no surrogates).
bool IsValidUtf8(std::string_view text);

/// Checks a byte stream piece by piece for being well-formed UTF-8, a sequence that is cut
/// between two pieces included.
class Utf8Validator {
 public:
  void Feed(std::string_view piece);
  /// True when everything fed is well-formed UTF-8 and no sequence is left open.
  bool Valid() const { return valid_ && pending_.empty(); }
  /// True once a malformed sequence was fed: no later piece can mend it.
  bool Failed() const { return !valid_; }
  /// True when a byte of 0x80 or more was fed.
  bool SawHighByte() const { return sawHigh_; }

 private:
  std::string pending_;  // the start of a sequence the last piece cut off
  bool valid_ = true;
  bool sawHigh_ = false;
};

/// True when the text's first strong character belongs to a right-to-left script (Arabic,
/// Persian, Hebrew, ...): the text's own language reads right to left. A text in English that
/// only quotes a Persian name reads left to right.
bool ReadsRightToLeft(std::string_view text);

/// Removes the last character (a whole UTF-8 sequence) of `text`; nothing when it is empty.
void PopLastCharacter(std::string& text);

}  // namespace installer
