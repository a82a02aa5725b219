// Item lists, paths and texts of the drive box and the folder list.
#include "ui/controls/ListLogic.h"

#include <algorithm>

#include "engine/platform/Unicode.h"
#include "ui/text/StringHelpers.h"

namespace installer {
namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithFolded(const std::string& text, const std::string& prefix) {
  if (prefix.size() > text.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (FoldAscii(text[i]) != FoldAscii(prefix[i])) return false;
  }
  return true;
}

// Removes the first folder of a folder part: "\A\B\" -> "\...\B\", "...\B\" -> "" .
void CutFirstFolder(std::string& folder) {
  if (folder == "\\") {
    folder.clear();
    return;
  }
  std::string lead;
  if (!folder.empty() && folder[0] == '\\') {
    lead = "\\";
    folder.erase(0, 1);
  }
  if (folder.rfind("...\\", 0) == 0) folder.erase(0, 4);
  const size_t next = folder.find('\\');
  if (next == std::string::npos) {
    folder.clear();
  } else {
    folder.replace(0, next + 1, "...\\");
  }
  folder.insert(0, lead);
}

}  // namespace

std::string FitPathToWidth(const std::string& path, int maxWidth, const TextWidthFn& textWidth) {
  const size_t split = path.find_last_of("\\:");
  std::string folder = split == std::string::npos ? std::string() : path.substr(0, split + 1);
  const std::string name = split == std::string::npos ? path : path.substr(split + 1);
  std::string drive;
  if (folder.size() >= 2 && folder[1] == ':') {
    drive = folder.substr(0, 2);
    folder.erase(0, 2);
  }
  while ((!drive.empty() || !folder.empty()) && textWidth(drive + folder + name) > maxWidth) {
    if (folder == "\\...\\") {
      drive.clear();
      folder = "...\\";
    } else if (folder.empty()) {
      drive.clear();
    } else {
      CutFirstFolder(folder);
    }
  }
  return drive + folder + name;
}

std::string UpperCaseAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string LowerCaseAscii(std::string text) {
  for (char& c : text) c = FoldAscii(c);
  return text;
}

std::vector<DriveItem> BuildDriveItems(uint32_t driveMask, const DriveQueries& queries) {
  std::vector<DriveItem> items;
  for (int bit = 0; bit < 26; ++bit) {
    if ((driveMask & (1u << bit)) == 0) continue;
    const char letter = static_cast<char>('A' + bit);
    const std::string drive(1, letter);
    auto volumeText = [&] {
      std::string text = UpperCaseAscii(queries.volumeLabel(letter));
      text.insert(text.begin(), '[');
      return text + "]";
    };
    switch (queries.driveType(letter)) {
      case kDriveRemovable:
        items.push_back({drive + ":", DriveGlyph::Floppy});
        break;
      case kDriveFixed:
        items.push_back({drive + ": " + volumeText(), DriveGlyph::Hard});
        break;
      case kDriveRemote: {
        const std::optional<std::string> remote = queries.networkName(letter);
        items.push_back({drive + ": " + (remote ? UpperCaseAscii(*remote) : volumeText()),
                         DriveGlyph::Network});
        break;
      }
      case kDriveCdRom:
        items.push_back({drive + ": " + volumeText(), DriveGlyph::CdRom});
        break;
      case kDriveRamDisk:
        items.push_back({drive + ": " + volumeText(), DriveGlyph::Ram});
        break;
      default:
        break;  // unknown type or no root folder: not listed
    }
  }
  return items;
}

int FindDriveItem(const std::vector<DriveItem>& items, char letter) {
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string& text = items[i].text;
    if (text.size() >= 2 && FoldAscii(text[0]) == FoldAscii(letter) && text[1] == ':') {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool FoldedLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(FoldAscii(x)) < static_cast<unsigned char>(FoldAscii(y));
  });
}

void SortFolderNames(std::vector<std::string>& names, const NameLessFn& less) {
  std::stable_sort(names.begin(), names.end(), less);
  names.erase(std::unique(names.begin(), names.end(),
                          [&](const std::string& a, const std::string& b) {
                            return !less(a, b) && !less(b, a);
                          }),
              names.end());
}

std::string DrivePart(const std::string& directory) {
  if (directory.size() >= 2 && directory[1] == ':') return directory.substr(0, 2);
  if (directory.rfind("\\\\", 0) == 0) {
    // \\server\share: up to the backslash after the share name.
    const size_t server = directory.find('\\', 2);
    if (server == std::string::npos) return directory;
    const size_t share = directory.find('\\', server + 1);
    return share == std::string::npos ? directory : directory.substr(0, share);
  }
  return {};
}

std::vector<FolderItem> BuildFolderItems(const std::string& directory,
                                         std::vector<std::string> subfolders,
                                         const NameLessFn& less) {
  std::vector<FolderItem> items;
  const std::string drive = DrivePart(directory);
  std::vector<std::string> levels;
  const std::string rest = directory.substr(drive.size());
  size_t start = 0;
  while (start < rest.size()) {
    const size_t end = rest.find('\\', start);
    const std::string level = rest.substr(start, end == std::string::npos ? std::string::npos
                                                                          : end - start);
    if (!level.empty()) levels.push_back(level);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  items.push_back({drive + "\\", levels.empty() ? FolderGlyph::Current : FolderGlyph::Open});
  for (size_t i = 0; i < levels.size(); ++i) {
    items.push_back({levels[i], i + 1 == levels.size() ? FolderGlyph::Current : FolderGlyph::Open});
  }
  SortFolderNames(subfolders, less);
  for (std::string& name : subfolders) items.push_back({std::move(name), FolderGlyph::Closed});
  return items;
}

size_t OpenFolderIndex(const std::vector<FolderItem>& items) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].glyph == FolderGlyph::Current) return i;
  }
  return 0;
}

std::string FolderItemPath(const std::string& directory, const std::vector<FolderItem>& items,
                           size_t index) {
  const std::string drive = DrivePart(directory);
  const FolderItem& item = items[index];
  if (index == 0) return drive + "\\";
  if (item.glyph == FolderGlyph::Current) return directory;
  if (item.glyph == FolderGlyph::Closed) {
    return directory + (RightStr(directory, 1) == "\\" ? "" : "\\") + item.text;
  }
  // An ancestor: the text after the drive part up to its (index + 1)-th backslash.
  const std::string rest = directory.substr(drive.size());
  size_t position = std::string::npos;
  size_t seen = 0;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '\\' && ++seen == index + 1) {
      position = i;
      break;
    }
  }
  return drive + rest.substr(0, position);
}

int FolderItemIndent(const std::string& directory, const std::vector<FolderItem>& items,
                     size_t index) {
  if (items[index].glyph != FolderGlyph::Closed) return 4 * static_cast<int>(index) + 2;
  const auto backslashes = std::count(directory.begin(), directory.end(), '\\');
  return 4 * (static_cast<int>(backslashes) + 1) + 2;
}

std::string FolderDisplayText(const std::string& text, bool casePreserving) {
  return casePreserving ? text : LowerCaseAscii(text);
}

const std::string& TypeAhead::Key(std::string_view key, uint32_t tickMs) {
  // Unsigned difference: correct across the 49-day wrap of the tick count.
  if (!typed_ || tickMs - lastTick_ >= 500) prefix_.clear();
  typed_ = true;
  lastTick_ = tickMs;
  if (key == "\b") {
    PopLastCharacter(prefix_);
  } else {
    prefix_ += key;
  }
  return prefix_;
}

int FindItemByPrefix(const std::vector<std::string>& texts, const std::string& prefix,
                     size_t start) {
  if (prefix.empty() || texts.empty()) return -1;
  for (size_t n = 0; n < texts.size(); ++n) {
    const size_t i = (start + n) % texts.size();
    if (StartsWithFolded(texts[i], prefix)) return static_cast<int>(i);
  }
  return -1;
}

int DiskDriveNumber(char letter) {
  return static_cast<uint8_t>(static_cast<unsigned char>(UpperCaseAscii(std::string(1, letter))[0]) - 64);
}

std::string DiskFigureText(int64_t bytes) {
  // The magnitude in unsigned arithmetic, so even the most negative value has one.
  const uint64_t magnitude =
      bytes < 0 ? static_cast<uint64_t>(-(bytes + 1)) + 1 : static_cast<uint64_t>(bytes);
  return GroupThousands(std::to_string(magnitude / 1024));
}

}  // namespace installer
