// The installer's fixed error texts.
#include "engine/Errors.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace installer {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string result;
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    result.assign(buffer.data(), static_cast<size_t>(length));
  }
  va_end(args);
  return result;
}

std::string TrimSystemMessage(const std::string& text) {
  size_t end = text.size();
  while (end > 0) {
    const char c = text[end - 1];
    if (c == ' ' || c == '.' || c == '\r' || c == '\n' || c == '\t') {
      --end;
    } else {
      break;
    }
  }
  return text.substr(0, end);
}

std::string InOutErrorMessage(uint32_t code) {
  switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return Format("I/O error %d", static_cast<int>(code));
  }
}

void RaiseInOutError(uint32_t code) { throw InstallError(InOutErrorMessage(code)); }

std::string CannotOpenFileMessage(const std::string& fullPath, const std::string& systemText) {
  return "Cannot open file \"" + fullPath + "\". " + systemText;
}

std::string CannotCreateFileMessage(const std::string& fullPath, const std::string& systemText) {
  return "Cannot create file \"" + fullPath + "\". " + systemText;
}

std::string FailedToSetDataMessage(const std::string& valueName) {
  return "Failed to set data for '" + valueName + "'";
}

std::string FailedToGetDataMessage(const std::string& valueName) {
  return "Failed to get data for '" + valueName + "'";
}

std::string InvalidDataTypeMessage(const std::string& valueName) {
  return "Invalid data type for '" + valueName + "'";
}

std::string OleErrorMessage(int32_t hresult, const std::string& systemText) {
  const std::string trimmed = TrimSystemMessage(systemText);
  if (!trimmed.empty()) return trimmed;
  return Format("OLE error %.8x", static_cast<unsigned>(hresult));
}

}  // namespace installer
