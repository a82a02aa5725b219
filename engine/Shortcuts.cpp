// Shortcuts to the installed main program and the uninstall entry that records it.
#include <exception>

#include "engine/Errors.h"
#include "engine/InstallSteps.h"

namespace installer {
namespace {

/// A folder of the current user's "Shell Folders", "" when the key or value is missing.
std::string ReadShellFolder(Platform& platform, RegKey explorer, const std::string& name) {
  if (explorer == 0) return "";
  RegKey folders = 0;
  if (platform.RegOpenKey(explorer, "Shell Folders", folders) != 0 || folders == 0) return "";
  RegKeyCloser closer(platform, folders);
  return ReadRegistryString(platform, folders, name).value_or("");
}

void WriteUninstallEntry(InstallSession& session, const std::string& installDir) {
  Platform& platform = session.platform;
  RegKey key = 0;
  platform.RegCreateKey(kHKeyLocalMachine, kUninstallKeyPrefix + session.ProductName, key);
  RegKeyCloser closer(platform, key);
  const std::pair<const char*, std::string> values[] = {
      {"UninstallString", installDir + "\\Uninstall.exe"},
      {"MainProgram", installDir + "\\" + session.ProductName + ".exe"},
      {"DisplayName", session.ProductName},
      {"Publisher", session.Publisher},
      {"Author", session.Author},
  };
  for (const auto& [name, data] : values) {
    if (key == 0 || platform.RegSetStringValue(key, name, data) != 0) {
      throw InstallError(FailedToSetDataMessage(name));
    }
  }
}

}  // namespace

std::string ShortcutFileName(const std::string& title) { return title + ".lnk"; }

std::string DesktopShortcutPath(Platform& platform, RegKey explorer, const std::string& title) {
  return ReadShellFolder(platform, explorer, "Desktop") + "\\" + ShortcutFileName(title);
}

std::string ProgramGroupFolder(Platform& platform, RegKey explorer, const std::string& group) {
  return ReadShellFolder(platform, explorer, "Start Menu") + "\\programs\\" + group + "\\";
}

std::string MainProgramPath(const std::string& installDir, const std::string& productName) {
  return installDir + "\\" + productName + ".EXE";
}

std::optional<std::string> ReadRegistryString(Platform& platform, RegKey key,
                                              const std::string& name) {
  uint32_t type = 0;
  std::string data;
  if (platform.RegQueryValue(key, name, type, data) != 0) return std::nullopt;
  if (data.empty()) return std::string();
  if (type != kRegSz && type != kRegExpandSz) throw InstallError(InvalidDataTypeMessage(name));
  return data.substr(0, data.find('\0'));
}

void CreateShortcutsAndUninstallEntry(InstallSession& session) {
  Platform& platform = session.platform;
  const std::string installDir = session.InstallDir;
  const std::unique_ptr<ShellLink> link = platform.CreateShellLink();
  link->SetPath(MainProgramPath(installDir, session.ProductName));
  link->SetWorkingDirectory(installDir);

  RegKey explorer = 0;
  platform.RegCreateKey(kHKeyCurrentUser, kExplorerKey, explorer);
  RegKeyCloser closer(platform, explorer);

  // A failed shortcut must not cost the uninstall entry: it is written in any case, and the
  // shortcut error is passed on afterwards (unless writing the entry raised its own).
  std::exception_ptr shortcutError;
  try {
    link->Save(DesktopShortcutPath(platform, explorer, session.ShortcutName));
    const std::string groupFolder = ProgramGroupFolder(platform, explorer, session.ProgramGroup);
    platform.CreateDir(groupFolder);
    link->Save(groupFolder + ShortcutFileName(session.ShortcutName));
  } catch (...) {
    shortcutError = std::current_exception();
  }
  WriteUninstallEntry(session, installDir);
  if (shortcutError) std::rethrow_exception(shortcutError);
}

}  // namespace installer
