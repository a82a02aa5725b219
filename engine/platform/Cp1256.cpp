// Code page 1256 table: the characters of bytes 0x80 to 0xFF (bytes below are ASCII).
#include "engine/platform/Cp1256.h"

#include <cstdint>

#include "engine/platform/Unicode.h"

namespace installer {
namespace {

constexpr char16_t kHighHalf[128] = {
    0x20AC, 0x067E, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0679, 0x2039, 0x0152, 0x0686, 0x0698, 0x0688,
    0x06AF, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x06A9, 0x2122, 0x0691, 0x203A, 0x0153, 0x200C, 0x200D, 0x06BA,
    0x00A0, 0x060C, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x06BE, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x00B9, 0x061B, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x061F,
    0x06C1, 0x0621, 0x0622, 0x0623, 0x0624, 0x0625, 0x0626, 0x0627,
    0x0628, 0x0629, 0x062A, 0x062B, 0x062C, 0x062D, 0x062E, 0x062F,
    0x0630, 0x0631, 0x0632, 0x0633, 0x0634, 0x0635, 0x0636, 0x00D7,
    0x0637, 0x0638, 0x0639, 0x063A, 0x0640, 0x0641, 0x0642, 0x0643,
    0x00E0, 0x0644, 0x00E2, 0x0645, 0x0646, 0x0647, 0x0648, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x0649, 0x064A, 0x00EE, 0x00EF,
    0x064B, 0x064C, 0x064D, 0x064E, 0x00F4, 0x064F, 0x0650, 0x00F7,
    0x0651, 0x00F9, 0x0652, 0x00FB, 0x00FC, 0x200E, 0x200F, 0x06D2,
};

// The byte of a character, or nothing when the code page lacks it.
std::optional<char> ByteOf(char32_t c) {
  if (c < 0x80) return static_cast<char>(c);
  for (int i = 0; i < 128; ++i) {
    if (kHighHalf[i] == c) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

// Windows' best-fit conversion writes a character the code page lacks as a look-alike it has:
// the Persian yeh (and its presentation forms) as the Arabic yeh, which Persian text shows the
// same way in the middle of a word.
std::optional<char> BestFitByteOf(char32_t c) {
  if (c == 0x06CC || (c >= 0xFBFC && c <= 0xFBFF)) return static_cast<char>(0xED);
  return ByteOf(c);
}

// Each character through `byteOf`; `replacement` for one it has no byte for, or a malformed byte.
std::string Convert(std::string_view utf8, std::optional<char> (*byteOf)(char32_t), char replacement) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t c = 0;
    const std::optional<char> byte = NextCodePoint(utf8, pos, c, true) ? byteOf(c) : std::optional<char>();
    out += byte.value_or(replacement);
  }
  return out;
}

}  // namespace

std::string Cp1256ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const auto b = static_cast<uint8_t>(ch);
    AppendUtf8(out, b < 0x80 ? char32_t{b} : char32_t{kHighHalf[b - 0x80]});
  }
  return out;
}

std::optional<std::string> Utf8ToCp1256(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t c = 0;
    if (!NextCodePoint(utf8, pos, c, true)) return std::nullopt;
    const std::optional<char> byte = ByteOf(c);
    if (!byte) return std::nullopt;
    out += *byte;
  }
  return out;
}

std::string Utf8ToCp1256(std::string_view utf8, char replacement) {
  return Convert(utf8, ByteOf, replacement);
}

std::string Utf8ToCp1256BestFit(std::string_view utf8) { return Convert(utf8, BestFitByteOf, '?'); }

std::vector<Cp1256Substitution> Cp1256Substitutions(std::string_view utf8) {
  std::vector<Cp1256Substitution> found;
  size_t pos = 0;
  while (pos < utf8.size()) {
    const size_t start = pos;
    char32_t c = 0;
    const bool decoded = NextCodePoint(utf8, pos, c, true);
    if (decoded && ByteOf(c)) continue;
    const std::optional<char> byte = decoded ? BestFitByteOf(c) : std::optional<char>();
    found.push_back({std::string(utf8.substr(start, pos - start)), decoded ? c : kReplacementCharacter,
                     byte.value_or('?')});
  }
  return found;
}

}  // namespace installer
