// PE headers and export table, bounds-checked at every step: the input is any file a vendor
// puts into the System folder.
#include "mediatool/PeFile.h"

#include <algorithm>
#include <cstdio>

namespace mediatool {
namespace {

class Bytes {
 public:
  explicit Bytes(const std::string& data) : data_(data) {}
  bool Has(uint64_t offset, uint64_t count) const {
    return offset <= data_.size() && count <= data_.size() - offset;
  }
  uint16_t U16(uint64_t offset) const {
    return static_cast<uint16_t>(Byte(offset) | (Byte(offset + 1) << 8));
  }
  uint32_t U32(uint64_t offset) const {
    return static_cast<uint32_t>(U16(offset)) | (static_cast<uint32_t>(U16(offset + 2)) << 16);
  }
  // A NUL-terminated name, or nothing when it runs off the end.
  bool Name(uint64_t offset, std::string& out) const {
    out.clear();
    for (uint64_t i = offset; i < data_.size() && out.size() < 4096; ++i) {
      if (data_[i] == '\0') return true;
      out += data_[i];
    }
    return false;
  }

 private:
  uint32_t Byte(uint64_t offset) const {
    return offset < data_.size() ? static_cast<unsigned char>(data_[offset]) : 0u;
  }
  const std::string& data_;
};

struct Section {
  uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

}  // namespace

bool PeInfo::Exports(const std::string& name) const {
  return std::find(exports.begin(), exports.end(), name) != exports.end();
}

std::string MachineName(uint16_t machine) {
  switch (machine) {
    case kMachineI386: return "i686";
    case kMachineAmd64: return "x86-64";
    case 0xAA64: return "ARM64";
    case 0x01C4: return "ARM";
    case 0x0200: return "IA-64";
  }
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", machine);
  return text;
}

PeInfo ReadPe(const std::string& data) {
  PeInfo info;
  const Bytes bytes(data);
  if (!bytes.Has(0, 64) || data[0] != 'M' || data[1] != 'Z') {
    info.error = "not a Windows program or library (no MZ header)";
    return info;
  }
  const uint32_t pe = bytes.U32(0x3C);
  if (!bytes.Has(pe, 24) || data.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
    info.error = "an MZ file without a PE header (a DOS program, or damaged)";
    return info;
  }
  info.machine = bytes.U16(pe + 4);
  const uint16_t sectionCount = bytes.U16(pe + 6);
  const uint16_t optionalSize = bytes.U16(pe + 20);
  info.isDll = (bytes.U16(pe + 22) & 0x2000) != 0;
  const uint64_t optional = pe + 24;
  if (!bytes.Has(optional, optionalSize) || optionalSize < 2) {
    info.error = "damaged PE header (optional header cut short)";
    return info;
  }
  const uint16_t magic = bytes.U16(optional);
  uint64_t directories = 0;
  if (magic == 0x10B) {
    directories = optional + 96;
  } else if (magic == 0x20B) {
    directories = optional + 112;
  } else {
    info.error = "damaged PE header (unknown optional header)";
    return info;
  }
  if (optionalSize >= 68) {
    info.checksumOffset = optional + 64;
    const uint64_t countAt = directories - 4;  // NumberOfRvaAndSizes
    const uint64_t entry = directories + 4 * 8;
    if (countAt + 4 <= optional + optionalSize && bytes.U32(countAt) > 4 && entry + 8 <= optional + optionalSize) {
      info.certificateEntryOffset = entry;
      info.certificateOffset = bytes.U32(entry);
      info.certificateSize = bytes.U32(entry + 4);
    }
  }
  std::vector<Section> sections;
  const uint64_t table = optional + optionalSize;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const uint64_t s = table + uint64_t{i} * 40;
    if (!bytes.Has(s, 40)) {
      info.error = "damaged PE file (section table cut short)";
      return info;
    }
    sections.push_back({bytes.U32(s + 12), bytes.U32(s + 8), bytes.U32(s + 16), bytes.U32(s + 20)});
  }
  info.valid = true;
  // No export directory entry, or an empty one: a library that exports nothing.
  if (directories + 8 > optional + optionalSize) return info;
  const uint32_t exportRva = bytes.U32(directories);
  const uint32_t exportSize = bytes.U32(directories + 4);
  if (exportRva == 0 || exportSize == 0) return info;
  auto offsetOf = [&](uint32_t rva, uint64_t& offset) {
    for (const Section& s : sections) {
      const uint32_t span = std::max(s.virtualSize, s.rawSize);
      if (rva >= s.virtualAddress && rva - s.virtualAddress < span) {
        offset = uint64_t{s.rawOffset} + (rva - s.virtualAddress);
        return bytes.Has(offset, 1);
      }
    }
    return false;
  };
  uint64_t dir = 0;
  if (!offsetOf(exportRva, dir) || !bytes.Has(dir, 40)) {
    info.valid = false;
    info.error = "damaged export table";
    return info;
  }
  const uint32_t nameCount = bytes.U32(dir + 24);
  uint64_t names = 0;
  if (nameCount > 0 && (!offsetOf(bytes.U32(dir + 32), names) || !bytes.Has(names, uint64_t{nameCount} * 4))) {
    info.valid = false;
    info.error = "damaged export table (name list)";
    return info;
  }
  for (uint32_t i = 0; i < nameCount; ++i) {
    uint64_t at = 0;
    std::string name;
    if (!offsetOf(bytes.U32(names + uint64_t{i} * 4), at) || !bytes.Name(at, name)) {
      info.valid = false;
      info.error = "damaged export table (a name outside the file)";
      return info;
    }
    info.exports.push_back(std::move(name));
  }
  return info;
}

}  // namespace mediatool
