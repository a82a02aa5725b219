// Raised errors carry the installer's own message texts (UTF-8); the standard
// error report shows them. Each helper below builds one of the fixed messages.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace installer {

class InstallError : public std::runtime_error {
 public:
  explicit InstallError(const std::string& message) : std::runtime_error(message) {}
};

/// printf-style formatting into a std::string (the message templates use %s, %d and %.8x).
std::string Format(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/// The system's text with trailing blanks, line breaks and full stops removed.
std::string TrimSystemMessage(const std::string& text);

/// Text-file and directory-change errors by system code: "File not found", ...,
/// "I/O error %d" for any other code.
std::string InOutErrorMessage(uint32_t code);
[[noreturn]] void RaiseInOutError(uint32_t code);

/// 'Cannot open file "%s". %s' and 'Cannot create file "%s". %s'.
std::string CannotOpenFileMessage(const std::string& fullPath, const std::string& systemText);
std::string CannotCreateFileMessage(const std::string& fullPath, const std::string& systemText);

inline constexpr const char* kStreamReadError = "Stream read error";
inline constexpr const char* kStreamWriteError = "Stream write error";
inline constexpr const char* kUnableToCreateDirectory = "Unable to create directory";
inline constexpr const char* kInterfaceNotSupported = "Interface not supported";

/// "Failed to set data for '%s'", "Failed to get data for '%s'", "Invalid data type for '%s'".
std::string FailedToSetDataMessage(const std::string& valueName);
std::string FailedToGetDataMessage(const std::string& valueName);
std::string InvalidDataTypeMessage(const std::string& valueName);

/// A COM failure: the system's message for `hresult` when it has one, else "OLE error %.8x".
std::string OleErrorMessage(int32_t hresult, const std::string& systemText);

}  // namespace installer
