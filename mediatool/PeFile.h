// What the tool needs to know of a Windows program or library: its processor, the names its
// export table holds and where its signature is (read from the file, never loaded).
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
  // What the Authenticode digest leaves out. Set once the headers are read, even when the
  // export table is damaged; checksumOffset is 0 when the headers are not usable.
  uint64_t checksumOffset = 0;
  uint64_t certificateEntryOffset = 0;  ///< data directory entry 4; 0 when the header has none
  uint32_t certificateOffset = 0;       ///< the certificate table, a file offset (not an RVA)
  uint32_t certificateSize = 0;

  bool Exports(const std::string& name) const;
};

/// Parses the PE headers and the export directory of `bytes`.
PeInfo ReadPe(const std::string& bytes);

/// "i686", "x86-64", "ARM64", ... for a machine value.
std::string MachineName(uint16_t machine);

}  // namespace mediatool
