// Decisions of the wizard that need no window, so native tests can reach them.
#pragma once

#include <cstdint>
#include <string>

namespace installer {

/// The parent folder the folder chooser opens on: the target path without its last
/// `productFolder.size()` characters (whatever they are). Paths up to 255 characters are cut
/// with the 8-bit position and count of ReplaceAt; longer ones at their full length.
std::string ChooserParent(const std::string& path, const std::string& productFolder);

/// The target path the folder chooser's OK writes: the folder with a trailing backslash,
/// then `productFolder`.
std::string ChosenTargetPath(const std::string& folder, const std::string& productFolder);

/// True when the finish picture for Windows 6 and later (ImageToz) applies.
bool UsesNewFinishPicture(uint8_t majorVersion);

/// Where a page of `pageSize` lands when centred on a desktop of `desktopSize`.
int CentredPosition(int desktopSize, int pageSize);

}  // namespace installer
