// UTF-8 text to file-system paths and back, the same on Linux and Windows.
#pragma once

#include <filesystem>
#include <string>

namespace mediatool {

inline std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace mediatool
