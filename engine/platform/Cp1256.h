// Code page 1256 (Arabic, with the Persian letters) to and from UTF-8, without the OS.
// Tests and tools use it to state Persian texts readably; the Win32 layer converts through
// the system itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace installer {

/// Every code page 1256 byte has a character, so this never fails.
std::string Cp1256ToUtf8(std::string_view bytes);

/// Nothing when the text holds a character that code page 1256 cannot represent (for
/// example the Persian yeh U+06CC) or is not valid UTF-8.
std::optional<std::string> Utf8ToCp1256(std::string_view utf8);

}  // namespace installer
