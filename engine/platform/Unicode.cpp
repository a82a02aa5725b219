// UTF-8 / WTF-8 decoding and encoding, and the reading direction of a text.
#include "engine/platform/Unicode.h"

#include <algorithm>

namespace installer {
namespace {

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// A low surrogate spelled in three bytes starts at `pos`.
bool LowSurrogateAt(std::string_view text, size_t pos) {
  return pos + 2 < text.size() && static_cast<unsigned char>(text[pos]) == 0xED &&
         (static_cast<unsigned char>(text[pos + 1]) & 0xF0) == 0xB0 &&
         IsContinuation(static_cast<unsigned char>(text[pos + 2]));
}

bool IsRightToLeftLetter(char32_t c) {
  return (c >= 0x0590 && c <= 0x05FF) ||  // Hebrew
         (c >= 0x0600 && c <= 0x06FF && !(c >= 0x0660 && c <= 0x0669) &&
          !(c >= 0x06F0 && c <= 0x06F9) && c != 0x060C && c != 0x061B && c != 0x061F &&
          !(c >= 0x064B && c <= 0x065F) && c != 0x0670) ||  // Arabic letters, not digits or marks
         (c >= 0x0700 && c <= 0x08FF) ||                    // Syriac, Thaana, Arabic supplements
         (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFC) ||
         (c >= 0x10800 && c <= 0x10FFF) || (c >= 0x1E800 && c <= 0x1EFFF);
}

// Letters of the left-to-right scripts: ASCII and Latin-1 letters, and everything from Latin
// Extended on that is not punctuation, a symbol, a mark or a right-to-left letter. Digits,
// spaces, punctuation, quotes, backslashes and the formatting characters (ZWNJ among them)
// are weak or neutral and decide nothing.
bool IsLeftToRightLetter(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  if (c < 0x100) return c == 0xAA || c == 0xB5 || c == 0xBA || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
  if (c >= 0x0300 && c <= 0x036F) return false;  // combining marks
  if (c >= 0x2000 && c <= 0x2BFF) return false;  // punctuation, symbols, arrows, formatting
  if (c >= 0x3000 && c <= 0x303F) return false;
  if (c >= 0xD800 && c <= 0xDFFF) return false;
  if (c >= 0xFE00 && c <= 0xFE0F) return false;
  if (c == 0xFEFF || c == kReplacementCharacter) return false;
  return !IsRightToLeftLetter(c);
}

// The length a lead byte announces; 1 for a byte that cannot lead (NextCodePoint refuses it).
size_t SequenceLength(unsigned char lead) {
  return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

}  // namespace

bool NextCodePoint(std::string_view text, size_t& pos, char32_t& codePoint, bool strict) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  int extra = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    codePoint = lead;
    ++pos;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    c = lead & 0x1F;
    minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    c = lead & 0x0F;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    c = lead & 0x07;
    minimum = 0x10000;
  } else {
    ++pos;
    return false;
  }
  if (pos + static_cast<size_t>(extra) >= text.size()) {  // cut off by the end of the text
    ++pos;
    return false;
  }
  for (int i = 1; i <= extra; ++i) {
    const auto b = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuation(b)) {
      ++pos;
      return false;
    }
    c = (c << 6) | (b & 0x3F);
  }
  const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
  if (c < minimum || c > 0x10FFFF || (surrogate && strict) ||
      // A pair must be spelled as one four-byte sequence, or two spellings would name one file.
      (c >= 0xD800 && c <= 0xDBFF && LowSurrogateAt(text, pos + extra + 1))) {
    ++pos;
    return false;
  }
  pos += static_cast<size_t>(extra) + 1;
  codePoint = c;
  return true;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsValidUtf8(std::string_view text) {
  size_t pos = 0;
  char32_t c = 0;
  while (pos < text.size()) {
    if (!NextCodePoint(text, pos, c, true)) return false;
  }
  return true;
}

void Utf8Validator::Feed(std::string_view piece) {
  if (!valid_) return;
  size_t pos = 0;
  char32_t c = 0;
  if (!pending_.empty()) {
    // Complete the sequence the last piece cut off with the first bytes of this one.
    const size_t length = SequenceLength(static_cast<unsigned char>(pending_[0]));
    const size_t take = std::min(length - pending_.size(), piece.size());
    pending_.append(piece.substr(0, take));
    pos = take;
    if (pending_.size() < length) return;
    size_t at = 0;
    if (!NextCodePoint(pending_, at, c, true)) {
      valid_ = false;
      return;
    }
    pending_.clear();
  }
  while (pos < piece.size()) {
    const auto lead = static_cast<unsigned char>(piece[pos]);
    if (lead < 0x80) {
      ++pos;
      continue;
    }
    sawHigh_ = true;
    const size_t length = SequenceLength(lead);
    if (length > 1 && pos + length > piece.size()) {
      pending_.assign(piece.substr(pos));  // judged when the next piece completes it
      return;
    }
    if (!NextCodePoint(piece, pos, c, true)) {
      valid_ = false;
      return;
    }
  }
}

bool ReadsRightToLeft(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    char32_t c = 0;
    if (!NextCodePoint(text, pos, c)) continue;
    if (IsRightToLeftLetter(c)) return true;
    if (IsLeftToRightLetter(c)) return false;
  }
  return false;
}

void PopLastCharacter(std::string& text) {
  if (text.empty()) return;
  size_t start = text.size() - 1;
  // Back over at most three continuation bytes to the sequence's lead byte.
  while (start > 0 && text.size() - start < 4 &&
         IsContinuation(static_cast<unsigned char>(text[start]))) {
    --start;
  }
  size_t pos = start;
  char32_t c = 0;
  if (NextCodePoint(text, pos, c) && pos == text.size()) {
    text.erase(start);
  } else {
    text.pop_back();  // a malformed tail goes byte by byte
  }
}

}  // namespace installer
