// Renames the staged main program and uninstaller and writes INSTALL.CFG beside them.
#include "engine/InstallSteps.h"
#include "engine/TextFile.h"

namespace installer {

void FinishInstallFolder(InstallSession& session) {
  Platform& platform = session.platform;
  const std::string& dir = session.InstallDir;
  // The medium carries both programs under ".DAT" names; file names ignore letter case.
  if (platform.FileExists(dir + "\\" + session.ProductName + ".dat")) {
    session.SrcPath = dir + "\\" + session.ProductName + ".DAT";
    session.DstPath = dir + "\\" + session.ProductName + ".EXE";
    if (platform.FileExists(session.DstPath)) platform.DeleteFile(session.DstPath);
    platform.RenameFile(session.SrcPath, session.DstPath);
  }
  if (platform.FileExists(dir + "\\uninstall.dat")) {
    session.SrcPath = dir + "\\uninstall.DAT";
    session.DstPath = dir + "\\Uninstall.EXE";
    if (platform.FileExists(session.DstPath)) platform.DeleteFile(session.DstPath);
    platform.RenameFile(session.SrcPath, session.DstPath);
    WriteTextLines(platform, dir + "\\INSTALL.CFG",
                   {session.ConfigFirstLine, "", session.ProductFolder, session.ProductName,
                    session.ShortcutName, session.ConfigPublisher});
  }
}

void RunPostCopySteps(InstallSession& session) {
  InstallSystemFiles(session);
  InstallFonts(session);
  FinishInstallFolder(session);
  CreateShortcutsAndUninstallEntry(session);
}

}  // namespace installer
