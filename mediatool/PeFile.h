// What the tool needs to know of a Windows program or library: its processor and the names
// its export table holds (read from the file, never loaded).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mediatool {

inline constexpr uint16_t kMachineI386 = 0x014C;
inline constexpr uint16_t kMachineAmd64 = 0x8664;

struct PeInfo {
  bool valid = false;
  std::string error;      ///< why the file is not a usable PE file
  uint16_t machine = 0;
  bool isDll = false;
  std::vector<std::string> exports;  ///< exported names

  bool Exports(const std::string& name) const;
};

/// Parses the PE headers and the export directory of `bytes`.
PeInfo ReadPe(const std::string& bytes);

/// "i686", "x86-64", "ARM64", ... for a machine value.
std::string MachineName(uint16_t machine);

}  // namespace mediatool
