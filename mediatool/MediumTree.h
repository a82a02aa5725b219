// A medium folder read from disk, with the attributes and the enumeration order the target
// file system gives it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mediatool/Diagnostics.h"

namespace mediatool {

/// Where the customer's installer will read the medium from.
enum class Target {
  Cd,    ///< a disc: Joliet directory records, sorted by UTF-16 code units, case included
  Ntfs,  ///< a copy on NTFS (or under Wine): sorted without regard to letter case
};

struct Entry {
  std::string name;      ///< UTF-8
  bool folder = false;
  int64_t size = 0;      ///< 0 for folders
  uint32_t attr = 0;     ///< Windows attribute word as the installer will see it
  std::string hiddenWhy; ///< why the hidden or system bit is set, "" when it is not
  std::string diskPath;  ///< where it is on this machine
  std::vector<Entry> children;  ///< in the target's enumeration order
};

/// True when `a` comes before `b` in the target's directory order.
bool ComesBefore(Target target, const std::string& a, const std::string& b);

/// Sorts names into the target's order.
void SortNames(Target target, std::vector<std::string>& names);

/// Number of UTF-16 code units of a UTF-8 name (what Joliet and Windows count).
size_t Utf16Length(const std::string& utf8);

/// Reads `folder` and everything below it. Unreadable parts are reported and left out.
Entry ReadTree(const std::string& folder, Target target, Diagnostics& diagnostics);

/// Reads a whole file; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string& bytes);

/// True when two names are the same to Windows (ASCII letter case ignored).
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

/// The child named `name` (letter case ignored, as Windows does), or null.
const Entry* FindChild(const Entry& folder, const std::string& name);

/// Re-sorts a tree's children for another target.
void SortTree(Entry& entry, Target target);

}  // namespace mediatool
