// Pieces the vendor-tool tests share: a scratch folder on disk and the smallest PE files that
// carry a processor and an export table.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

namespace mediatool::testing {

/// A PE32 (i686) or PE32+ (other machines) library with one section holding its exports.
inline std::string MakePe(uint16_t machine, const std::vector<std::string>& exports) {
  const bool pe32 = machine == 0x014C;
  const uint16_t optionalSize = pe32 ? 224 : 240;
  std::string file(0x400, '\0');
  auto put16 = [&](size_t at, uint16_t v) {
    if (file.size() < at + 2) file.resize(at + 2, '\0');
    file[at] = static_cast<char>(v & 0xFF);
    file[at + 1] = static_cast<char>(v >> 8);
  };
  auto put32 = [&](size_t at, uint32_t v) {
    put16(at, static_cast<uint16_t>(v & 0xFFFF));
    put16(at + 2, static_cast<uint16_t>(v >> 16));
  };
  file[0] = 'M';
  file[1] = 'Z';
  put32(0x3C, 0x40);
  file.replace(0x40, 4, std::string("PE\0\0", 4));
  put16(0x44, machine);
  put16(0x46, 1);             // one section
  put16(0x54, optionalSize);
  put16(0x56, 0x2102);        // executable, 32-bit words, DLL
  const size_t optional = 0x58;
  put16(optional, pe32 ? 0x10B : 0x20B);
  const size_t directories = optional + (pe32 ? 96 : 112);
  const uint32_t sectionRva = 0x1000, rawOffset = 0x400;
  // The export directory, the name pointer table, then the names.
  std::string section(40, '\0');
  const uint32_t table = 40;
  uint32_t names = table + 4 * static_cast<uint32_t>(exports.size());
  std::vector<uint32_t> pointers;
  std::string strings;
  for (const std::string& name : exports) {
    pointers.push_back(sectionRva + names + static_cast<uint32_t>(strings.size()));
    strings += name + '\0';
  }
  auto sput32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) section[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  sput32(24, static_cast<uint32_t>(exports.size()));
  sput32(32, sectionRva + table);
  for (uint32_t p : pointers) {
    section += std::string(4, '\0');
    sput32(section.size() - 4, p);
  }
  section += strings;
  put32(directories, sectionRva);
  put32(directories + 4, static_cast<uint32_t>(section.size()));
  const size_t header = optional + optionalSize;
  file.replace(header, 8, ".edata\0\0", 8);
  put32(header + 8, static_cast<uint32_t>(section.size()));
  put32(header + 12, sectionRva);
  put32(header + 16, static_cast<uint32_t>(section.size()));
  put32(header + 20, rawOffset);
  file.resize(rawOffset);
  return file + section;
}

/// A folder below the system's temporary folder, removed with the test.
class ScratchFolder {
 public:
  ScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("mediatool-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
             std::to_string(::getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_); }

  std::string Path(const std::string& relative = "") const {
    return relative.empty() ? path_.string() : (path_ / relative).string();
  }
  /// Writes a file (parent folders made as needed).
  void Write(const std::string& relative, const std::string& content) const {
    const auto file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
  }
  void Folder(const std::string& relative) const { std::filesystem::create_directories(path_ / relative); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline const char* kSansFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline const char* kSansBoldFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

}  // namespace mediatool::testing
