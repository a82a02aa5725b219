// System components from the medium's "System" folder, and their self-registration.
#include <string_view>

#include "engine/FileCopy.h"
#include "engine/InstallSteps.h"
#include "engine/TextFile.h"

namespace installer {
namespace {

// A list line names a file in the system folder only when it is a bare file name: a path
// (..\..\x.dll, C:\x.dll, a/b.dll), a stream (a:b) or the folder itself or its
// parent ("", ".", "..") would register a file from elsewhere, or nothing that exists. A NUL
// would cut the name short where Windows reads it, so such a line names no file either.
bool IsBareFileName(const std::string& line) {
  return !line.empty() && line != "." && line != ".." &&
         line.find_first_of(std::string_view("\\/:\0", 4)) == std::string::npos;
}

}  // namespace

void InstallSystemFiles(InstallSession& session) {
  Platform& platform = session.platform;
  const uint32_t major = platform.GetVersion() & 0xFF;
  session.SystemDir =
      platform.GetWindowsDirectory() + (major <= 4 ? "\\System\\" : "\\System32\\");
  if (!platform.DirectoryExists("System")) return;

  {
    SearchRec rec;
    SearchCloser closer(platform, rec);
    // Every kind of entry: hidden and system files belong in the system folder too.
    for (int result = platform.FindFirst("System\\*.*", kAttrAnyFile, rec); result == 0;
         result = platform.FindNext(rec)) {
      // Subfolders read as size 0 and are passed over with the empty files.
      if (rec.Name == "." || rec.Name == ".." || rec.Size == 0) continue;
      session.DstPath = session.SystemDir + rec.Name;
      session.SrcPath = "System\\" + rec.Name;
      if (platform.FileExists(session.DstPath)) platform.DeleteFile(session.DstPath);
      // A file that could not be deleted (in use, read-only) is kept as it is.
      if (!platform.FileExists(session.DstPath)) {
        CopyFileStream(platform, session.SrcPath, session.DstPath);
      }
    }
  }

  if (!platform.FileExists("SYSTEM\\SYSTEM.TXT")) return;
  ListReader list(platform, "SYSTEM\\SYSTEM.TXT");
  while (!list.Eof()) {
    session.SrcPath = list.ReadLine();
    session.DstPath = session.SystemDir + session.SrcPath;
    if (IsBareFileName(session.SrcPath) && platform.FileExists(session.DstPath)) {
      RegisterComponent(platform, session.DstPath, true);
    }
  }
}

bool RegisterComponent(Platform& platform, const std::string& path, bool doRegister) {
  if (!platform.FileExists(path)) return false;
  const LibraryHandle library = platform.LoadLibrary(path);
  if (library == 0) return false;
  const ProcAddress entry =
      platform.GetProcAddress(library, doRegister ? "DllRegisterServer" : "DllUnregisterServer");
  if (entry == 0) {
    platform.FreeLibrary(library);
    return false;
  }
  platform.CallEntryPoint(entry);  // a failure status goes unnoticed, as the list intends
  platform.FreeLibrary(library);
  return true;
}

}  // namespace installer
