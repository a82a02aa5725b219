// Session set-up and the default target path.
#include "engine/InstallSession.h"

namespace installer {

void InitializeSession(InstallSession& session) {
  session.SourceFolder = kSourceFolder;
  session.ProductFolder = kProductFolder;
  session.ProductName = kProductName;
  session.ShortcutName = kShortcutName;
  session.ProgramGroup = kProgramGroup;
  session.MediaRoot = session.platform.GetCurrentDir();
}

std::string DefaultInstallPath(InstallSession& session) {
  const std::string windowsDir = session.platform.GetWindowsDirectory();
  const std::string drive = windowsDir.empty() ? std::string() : windowsDir.substr(0, 1);
  return drive + ":\\" + session.ProductFolder;
}

}  // namespace installer
