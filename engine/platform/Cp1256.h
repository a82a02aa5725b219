// Code page 1256 (Arabic, with most Persian letters) to and from UTF-8, without the OS. The
// program carries its text as UTF-8; this code page remains where bytes are fixed or come from
// outside: the medium's list files (read as code page 1256 unless they are UTF-8) and
// INSTALL.CFG (written in it).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace installer {

/// Every code page 1256 byte has a character, so this never fails.
std::string Cp1256ToUtf8(std::string_view bytes);

/// Nothing when the text holds a character that code page 1256 cannot represent (for
/// example the Persian yeh U+06CC) or is not valid UTF-8.
std::optional<std::string> Utf8ToCp1256(std::string_view utf8);

/// The same, with `replacement` for each character (or malformed byte) the code page lacks.
std::string Utf8ToCp1256(std::string_view utf8, char replacement);

/// As Windows' own best-fit conversion writes the text: a character the code page lacks
/// becomes its look-alike where Windows has one (the Persian yeh U+06CC as the Arabic yeh,
/// 0xED), "?" otherwise.
std::string Utf8ToCp1256BestFit(std::string_view utf8);

/// A character the code page lacks, and the byte the best-fit conversion writes for it.
struct Cp1256Substitution {
  std::string text;   ///< the character as it stands (UTF-8), or the malformed bytes
  char32_t character; ///< its code point; U+FFFD for malformed bytes
  char byte;          ///< what Utf8ToCp1256BestFit writes
};

/// Every character of `utf8` that code page 1256 lacks, in order.
std::vector<Cp1256Substitution> Cp1256Substitutions(std::string_view utf8);

}  // namespace installer
