// Conversions between the program's 8-bit text (Arabic code page 1256 on every machine) and the
// UTF-16 of the wide Windows functions. The machine's ANSI code page is never used: on a system
// whose ANSI code page is not 1256 it would garble every Persian name.
#pragma once

#include <string>
#include <string_view>

#include "engine/platform/win32/WindowsApi.h"

namespace installer {

inline constexpr UINT kCodePage = 1256;

/// Every one of the 256 bytes has a character in code page 1256, so this cannot fail. Embedded
/// NULs are kept (registry multi-strings carry them).
inline std::wstring Cp1256ToWide(std::string_view text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) {
    MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
  }
  return wide;
}

/// A character that code page 1256 lacks becomes '?'. Best-fit mapping is turned off on purpose:
/// it would turn, for example, Persian yeh (U+06CC) into Arabic yeh (0xED) and so name a
/// different, possibly existing, file; '?' is not a valid file-name character and names none.
inline std::string WideToCp1256(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0, "?", nullptr);
  std::string narrow(static_cast<size_t>(length > 0 ? length : 0), '\0');
  if (length > 0) {
    WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text.data(),
                        static_cast<int>(text.size()), narrow.data(), length, "?", nullptr);
  }
  return narrow;
}

/// True when the text holds a letter or sign of the Arabic script (Persian included), which
/// makes it read right to left. Latin letters of the code page's upper half (é, à, ...) do not.
inline bool ContainsArabicScript(std::string_view text) {
  for (const wchar_t c : Cp1256ToWide(text)) {
    if ((c >= 0x0600 && c <= 0x06FF) || (c >= 0x0750 && c <= 0x077F) ||
        (c >= 0xFB50 && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFC)) {
      return true;
    }
  }
  return false;
}

}  // namespace installer
