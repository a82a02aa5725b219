// The window-free part of the drive box and the folder list: item texts and glyph kinds, item
// paths, indentation, sorting, type-to-find, the shortened directory label and the disk
// figures of the folder chooser. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace installer {

/// Width in pixels of a text in the label's font.
using TextWidthFn = std::function<int(const std::string&)>;

/// The directory label's text: `path` shortened by whole folders from the left (keeping the
/// drive until only "\...\" is left) until it fits in `maxWidth`. A name wider than the limit
/// on its own is returned as it is.
std::string FitPathToWidth(const std::string& path, int maxWidth, const TextWidthFn& textWidth);

/// ASCII letters only: the Arabic script has no letter case, and the other bytes of a UTF-8
/// sequence are never ASCII, so a Persian name passes unchanged.
std::string UpperCaseAscii(std::string text);
std::string LowerCaseAscii(std::string text);

// ----------------------------------------------------------------------------- drive box

/// GetDriveType results the drive box shows.
enum : uint32_t {
  kDriveRemovable = 2,
  kDriveFixed = 3,
  kDriveRemote = 4,
  kDriveCdRom = 5,
  kDriveRamDisk = 6,
};

enum class DriveGlyph { Floppy, Hard, Network, CdRom, Ram };

struct DriveItem {
  std::string text;
  DriveGlyph glyph;
};

/// The system queries behind the drive items, so a table can stand in for the machine.
struct DriveQueries {
  std::function<uint32_t(char letter)> driveType;
  /// The volume label of the drive's root; "" when it cannot be read.
  std::function<std::string(char letter)> volumeLabel;
  /// The remote name of a network drive; nullopt when the query fails.
  std::function<std::optional<std::string>(char letter)> networkName;
};

/// One item per present drive (bit 0 of `driveMask` is A) in letter order: "A:" for a
/// removable drive (its medium is not touched), "C: [SYSTEM]" for fixed, CD-ROM and RAM
/// drives, "Z: \\SERVER\SHARE" for a network drive (its volume text when the network query
/// fails); drives of any other type get no item. Texts are upper case.
std::vector<DriveItem> BuildDriveItems(uint32_t driveMask, const DriveQueries& queries);

/// The first item whose text begins with `letter` and ":" (any case), or -1.
int FindDriveItem(const std::vector<DriveItem>& items, char letter);

// ----------------------------------------------------------------------------- folder list

enum class FolderGlyph { Open, Current, Closed };  ///< root/ancestor, open folder, subfolder

struct FolderItem {
  std::string text;
  FolderGlyph glyph;
};

using NameLessFn = std::function<bool(const std::string&, const std::string&)>;

/// Name order without regard to ASCII letter case (the Windows build uses the user's locale).
bool FoldedLess(const std::string& a, const std::string& b);

/// Sorts `names` by `less`; names equivalent under it (differing only in case) appear once.
void SortFolderNames(std::vector<std::string>& names, const NameLessFn& less = FoldedLess);

/// "C:" for a drive path; "\\server\share" for a network path.
std::string DrivePart(const std::string& directory);

/// The root item, one item per ancestor, the open folder, then the sorted subfolders.
std::vector<FolderItem> BuildFolderItems(const std::string& directory,
                                         std::vector<std::string> subfolders,
                                         const NameLessFn& less = FoldedLess);

/// Index of the open folder's item.
size_t OpenFolderIndex(const std::vector<FolderItem>& items);

/// The folder opening item `index` enters.
std::string FolderItemPath(const std::string& directory, const std::vector<FolderItem>& items,
                           size_t index);

/// Left indentation of item `index` in pixels.
int FolderItemIndent(const std::string& directory, const std::vector<FolderItem>& items,
                     size_t index);

/// The text as drawn: lower case on a drive that neither preserves nor respects case.
std::string FolderDisplayText(const std::string& text, bool casePreserving);

/// The folder list's type-to-find prefix: it starts afresh after a pause of 500 ms or more;
/// Backspace ("\b") removes its last character, a whole UTF-8 sequence.
class TypeAhead {
 public:
  /// `key` is one typed character in UTF-8.
  const std::string& Key(std::string_view key, uint32_t tickMs);
  const std::string& Prefix() const { return prefix_; }

 private:
  std::string prefix_;
  uint32_t lastTick_ = 0;
  bool typed_ = false;
};

/// The first item, searching from `start` and wrapping around, whose text begins with
/// `prefix` without regard to ASCII case; -1 when none does or the prefix is empty.
int FindItemByPrefix(const std::vector<std::string>& texts, const std::string& prefix,
                     size_t start);

// ----------------------------------------------------------------------------- chooser figures

/// DiskFree/DiskSize drive number of a drive letter: A = 1, C = 3, Z = 26.
int DiskDriveNumber(char letter);

/// A disk query result as the chooser shows it: kilobytes of 1024 bytes with "," between
/// groups of three digits; a failed query (-1) shows "0".
std::string DiskFigureText(int64_t bytes);

}  // namespace installer
