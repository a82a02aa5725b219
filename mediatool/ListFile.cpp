#include "mediatool/ListFile.h"

#include "engine/platform/Cp1256.h"
#include "engine/platform/Unicode.h"

namespace mediatool {

std::string EncodeListFile(const std::vector<std::string>& lines) {
  std::string cp1256;
  bool fits = true;
  bool high = false;
  for (const std::string& line : lines) {
    const auto bytes = installer::Utf8ToCp1256(line);
    if (!bytes) {
      fits = false;
      break;
    }
    cp1256 += *bytes + "\r\n";
  }
  for (const char c : cp1256) high = high || static_cast<unsigned char>(c) >= 0x80;
  // The installer takes a list that is well-formed UTF-8 with a high byte for UTF-8, so code
  // page 1256 bytes that happen to form UTF-8 would be misread: those lists go as UTF-8 too.
  if (fits && !(high && installer::IsValidUtf8(cp1256))) return cp1256;
  std::string utf8 = "\xEF\xBB\xBF";
  for (const std::string& line : lines) utf8 += line + "\r\n";
  return utf8;
}

std::string EncodeUninstallList(const std::string& productName, const std::vector<std::string>& paths) {
  std::string text = "\xEF\xBB\xBF; Files installed by " + productName + ". Read by the uninstaller; do not edit.\r\n";
  for (const std::string& path : paths) text += path + "\r\n";
  return text;
}

std::vector<std::string> DecodeUninstallList(const std::string& bytes) {
  std::string text = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? bytes.substr(3) : bytes;
  std::vector<std::string> paths;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != ';') paths.push_back(std::move(line));
    start = end + 1;
  }
  return paths;
}

}  // namespace mediatool
