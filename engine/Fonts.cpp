// Fonts from the medium's "Fonts" folder: registry entries under both Fonts keys and a copy
// into the Windows fonts folder.
#include "engine/Errors.h"
#include "engine/FileCopy.h"
#include "engine/InstallSteps.h"
#include "engine/TextFile.h"

namespace installer {

void InstallFonts(InstallSession& session) {
  Platform& platform = session.platform;
  session.SystemDir = platform.GetWindowsDirectory() + "\\Fonts\\";
  if (!platform.DirectoryExists("Fonts")) return;

  bool listRead = false;
  if (platform.FileExists("FONTS\\FONT.TXT")) {
    ListReader list(platform, "FONTS\\FONT.TXT");
    session.FontTable.clear();
    session.FontIndex = 0;
    // Pairs of lines: the value data, then the value name. The table holds 20 pairs; the
    // rest of a longer list is not read, and fonts beyond the 20th get no names from it.
    while (!list.Eof() && session.FontIndex < kFontTableCapacity) {
      ++session.FontIndex;
      std::string data = list.ReadLine();
      std::string name = list.ReadLine();  // "" when the list has an odd number of lines
      session.FontTable.emplace_back(std::move(data), std::move(name));
    }
    listRead = true;
  }

  session.FontIndex = 0;
  SearchRec rec;
  SearchCloser closer(platform, rec);
  for (int result = platform.FindFirst("Fonts\\*.*", kAttrAnyFile, rec); result == 0;
       result = platform.FindNext(rec)) {
    // The list itself is passed over only under its exact name; "font.txt" counts as a font.
    if (rec.Name == "." || rec.Name == ".." || rec.Size == 0 || rec.Name == "FONT.TXT") continue;
    ++session.FontIndex;
    session.DstPath = session.SystemDir + rec.Name;
    session.SrcPath = rec.Name;
    WriteFontEntry(session, kFontsKey, listRead);
    WriteFontEntry(session, kFontsKeyNt, listRead);
    if (!platform.FileExists(session.DstPath)) {
      CopyFileStream(platform, "Fonts\\" + rec.Name, session.DstPath);
    }
  }
}

void WriteFontEntry(InstallSession& session, const std::string& key, bool listRead) {
  Platform& platform = session.platform;
  std::string name;
  std::string data;
  if (!listRead) {
    name = session.SrcPath;
    data = session.DstPath;
  } else if (session.FontIndex >= 1 &&
             session.FontIndex <= static_cast<int32_t>(session.FontTable.size())) {
    data = session.FontTable[session.FontIndex - 1].first;
    name = session.FontTable[session.FontIndex - 1].second;
  }
  // A font without a pair writes an empty string into the key's default value.
  RegKey opened = 0;
  platform.RegCreateKey(kHKeyLocalMachine, key, opened);
  RegKeyCloser closer(platform, opened);
  if (opened == 0 || platform.RegSetStringValue(opened, name, data) != 0) {
    throw InstallError(FailedToSetDataMessage(name));
  }
}

}  // namespace installer
