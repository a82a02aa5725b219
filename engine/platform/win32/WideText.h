// Conversions between the program's 8-bit text (UTF-8; names from the system as WTF-8) and the
// UTF-16 of the wide Windows functions. Neither the machine's ANSI code page nor code page 1256
// is involved: every name Windows can hold comes back to it unchanged.
#pragma once

#include <string>
#include <string_view>

#include "engine/platform/Unicode.h"
#include "engine/platform/win32/WindowsApi.h"

namespace installer {

/// A name or path for a wide function. False when the text is not WTF-8: it names no file, and
/// the caller fails with ERROR_INVALID_NAME rather than touch another one.
inline bool ToWide(std::string_view text, std::wstring& wide) { return Utf8ToUtf16(text, wide); }

/// Text that is only shown (labels, captions, message boxes); a malformed byte shows as U+FFFD.
inline std::wstring DisplayWide(std::string_view text) {
  return Utf8ToUtf16ForDisplay<std::wstring>(text);
}

/// Embedded NULs are kept (registry multi-strings carry them).
inline std::string WideToUtf8(std::wstring_view text) { return Utf16ToUtf8(text); }

}  // namespace installer
