// Reads an ISO 9660 image's Joliet directory back, record by record in the order the disc
// stores them, which is the order Windows delivers a CD's folders in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mediatool {

struct DiscEntry {
  std::string name;  ///< UTF-8, without a ";1" version
  bool folder = false;
  int64_t size = 0;
  int64_t extent = -1;  ///< first 2048-byte block of a file's data; -1 where not known
  std::vector<DiscEntry> children;  ///< in directory-record order
};

struct DiscImage {
  std::string primaryLabel;  ///< volume identifier of the primary descriptor
  std::string jolietLabel;   ///< volume identifier of the Joliet descriptor
  bool rockRidge = false;    ///< the primary root carries System Use entries ("SP"/"RR")
  DiscEntry root;
};

/// False with `error` set when `path` is no ISO 9660 image with a Joliet descriptor.
bool ReadDiscImage(const std::string& path, DiscImage& image, std::string& error);

}  // namespace mediatool
