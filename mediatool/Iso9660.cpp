// ISO 9660 (ECMA-119) volume descriptors and directory records, and Joliet's UCS-2 names.
#include "mediatool/Iso9660.h"

#include <fstream>

#include "engine/platform/Unicode.h"
#include "mediatool/Paths.h"

namespace mediatool {
namespace {

constexpr int64_t kSector = 2048;

uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::string Ucs2(const std::string& bytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units += static_cast<char16_t>((static_cast<unsigned char>(bytes[i]) << 8) |
                                   static_cast<unsigned char>(bytes[i + 1]));
  }
  return installer::Utf16ToUtf8(std::u16string_view(units));
}

std::string TrimRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

class Reader {
 public:
  explicit Reader(const std::string& path) : in_(FsPath(path), std::ios::binary) {}
  bool Ok() const { return static_cast<bool>(in_); }
  bool Read(int64_t offset, int64_t count, std::string& out) {
    out.assign(static_cast<size_t>(count), '\0');
    in_.clear();
    in_.seekg(offset);
    in_.read(out.data(), count);
    return in_.gcount() == count;
  }

 private:
  std::ifstream in_;
};

bool ReadFolder(Reader& reader, uint32_t extent, uint32_t size, bool joliet, DiscEntry& folder,
                int depth, std::string& error) {
  if (depth > 64) {
    error = "folders nested deeper than 64 levels (a loop in a damaged image?)";
    return false;
  }
  std::string data;
  if (!reader.Read(int64_t{extent} * kSector, size, data)) {
    error = "a directory lies beyond the end of the image";
    return false;
  }
  size_t at = 0;
  while (at < data.size()) {
    const auto length = static_cast<unsigned char>(data[at]);
    if (length == 0) {  // the rest of this sector is padding; records never cross sectors
      at = (at / kSector + 1) * kSector;
      continue;
    }
    if (length < 34 || at + length > data.size()) {
      error = "a damaged directory record";
      return false;
    }
    const std::string record = data.substr(at, length);
    at += length;
    const auto nameLength = static_cast<unsigned char>(record[32]);
    if (size_t{33} + nameLength > record.size()) {
      error = "a damaged directory record name";
      return false;
    }
    const std::string rawName = record.substr(33, nameLength);
    if (rawName == std::string(1, '\0') || rawName == std::string(1, '\1')) continue;  // . and ..
    DiscEntry entry;
    entry.name = joliet ? Ucs2(rawName) : rawName;
    if (const size_t version = entry.name.rfind(';'); version != std::string::npos) entry.name.resize(version);
    entry.folder = (static_cast<unsigned char>(record[25]) & 0x02) != 0;
    entry.size = entry.folder ? 0 : Le32(record, 10);
    if (!entry.folder) entry.extent = Le32(record, 2);
    if (entry.folder && !ReadFolder(reader, Le32(record, 2), Le32(record, 10), joliet, entry, depth + 1, error)) {
      return false;
    }
    folder.children.push_back(std::move(entry));
  }
  return true;
}

}  // namespace

bool ReadDiscImage(const std::string& path, DiscImage& image, std::string& error) {
  image = DiscImage{};  // nothing of an image read before into the same object
  Reader reader(path);
  if (!reader.Ok()) {
    error = "cannot open the image";
    return false;
  }
  std::string joliet;
  std::string primary;
  for (int64_t sector = 16; sector < 64; ++sector) {
    std::string descriptor;
    if (!reader.Read(sector * kSector, kSector, descriptor) || descriptor.compare(1, 5, "CD001") != 0) {
      error = "no ISO 9660 volume descriptors";
      return false;
    }
    const auto type = static_cast<unsigned char>(descriptor[0]);
    if (type == 255) break;
    if (type == 1) primary = descriptor;
    // Joliet: a supplementary descriptor whose escape sequence names UCS-2 level 1, 2 or 3.
    if (type == 2 && descriptor[88] == '%' && descriptor[89] == '/' &&
        (descriptor[90] == '@' || descriptor[90] == 'C' || descriptor[90] == 'E')) {
      joliet = descriptor;
    }
  }
  if (primary.empty() || joliet.empty()) {
    error = primary.empty() ? "no primary volume descriptor" : "no Joliet descriptor: Windows would see 8.3 names";
    return false;
  }
  image.primaryLabel = TrimRight(primary.substr(40, 32));
  image.jolietLabel = TrimRight(Ucs2(joliet.substr(40, 32)));
  // Rock Ridge announces itself with an "SP" entry in the System Use area of the root's "."
  std::string rootDot;
  const uint32_t primaryRoot = Le32(primary, 156 + 2);
  if (reader.Read(int64_t{primaryRoot} * kSector, kSector, rootDot) && rootDot.size() > 34) {
    const auto length = static_cast<unsigned char>(rootDot[0]);
    image.rockRidge = rootDot.substr(34, length > 34 ? length - 34 : 0).find("SP") != std::string::npos;
  }
  image.root.folder = true;
  return ReadFolder(reader, Le32(joliet, 156 + 2), Le32(joliet, 156 + 10), true, image.root, 0, error);
}

}  // namespace mediatool
