// The uninstaller's entry. Windows starts it from the installation folder, where it cannot
// remove its own running file; so it first copies itself into a new folder of its own that
// only administrators can write, and the copy does the work while the first program waits
// for its answer: an administrator's script sees the end of the removal and its exit code.
// When the first program has ended, the copy removes its file and the folders left empty.
#include "engine/platform/win32/WindowsApi.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "engine/platform/win32/DllSearch.h"
#include "engine/platform/win32/WideText.h"
#include "engine/platform/win32/Win32Platform.h"
#include "ui/Application.h"
#include "ui/uninstall/RemovalLogic.h"
#include "ui/uninstall/TRemovePage.h"

namespace installer {
namespace {

constexpr const char* kRemovalTitlePrefix = "حذف ";

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }
std::string NameOf(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

// Only a name that nobody can have taken before matters, for CreateDirectory fails on one
// that exists; the mix of clock, counter and process keeps tries from colliding.
uint64_t NextName() {
  static uint64_t state = 0;
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  state += 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(counter.QuadPart) ^
           (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^ GetTickCount();
  uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::wstring Hex(uint64_t value) {
  wchar_t text[17];
  for (int i = 15; i >= 0; --i, value >>= 4) text[i] = L"0123456789abcdef"[value & 15];
  text[16] = L'\0';
  return text;
}

/// The copy's folder and file, once made.
struct Copy {
  std::wstring folder;
  std::wstring program;
};

// A new folder in the temporary folder, made by this program (never one that was there) and
// writable by administrators only, holding a copy of this program.
bool MakeCopy(Win32Platform& platform, const std::wstring& self, Copy& copy) {
  wchar_t temp[MAX_PATH + 1] = L"";
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring folder = std::wstring(temp) + L"Uninstall-" + Hex(NextName());
    if (!platform.CreateProtectedDir(WideToUtf8(folder))) {
      if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) continue;  // taken
      return false;
    }
    copy.folder = folder;
    copy.program = folder + L"\\Uninstall.exe";
    if (CopyFileW(self.c_str(), copy.program.c_str(), TRUE)) return true;
    RemoveDirectoryW(folder.c_str());
    return false;
  }
  return false;
}

// The copy goes when the system next starts: a running program cannot delete its own file,
// and only administrators can reach the folder meanwhile.
void RemoveCopyLater(const std::wstring& program) {
  MoveFileExW(program.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  const std::wstring folder = program.substr(0, program.find_last_of(L'\\'));
  MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

/// Starts the copy and waits for its answer. False when the copy could not be made or
/// started: the caller then removes from here.
bool ContinueFromCopy(Win32Platform& platform, const std::wstring& self, bool silent, int& code) {
  Copy copy;
  if (!MakeCopy(platform, self, copy)) return false;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr, me = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
    RemoveCopyLater(copy.program);
    return false;
  }
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me, SYNCHRONIZE,
                  TRUE, 0);
  std::string command = "\"";
  command += WideToUtf8(copy.program);
  command += "\" ";
  command += ContinueArguments(reinterpret_cast<uintptr_t>(me),
                               reinterpret_cast<uintptr_t>(writeEnd), silent, WideToUtf8(self));
  std::wstring line;
  ToWide(command, line);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // Only the two handles named on its command line are inheritable. Its current directory is
  // its own folder, so nothing it looks up by a bare name comes from elsewhere.
  const BOOL started = me != nullptr &&
                       CreateProcessW(copy.program.c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, copy.folder.c_str(), &startup, &process);
  CloseHandle(writeEnd);
  if (me != nullptr) CloseHandle(me);
  if (!started) {
    CloseHandle(readEnd);
    DeleteFileW(copy.program.c_str());
    RemoveDirectoryW(copy.folder.c_str());
    return false;
  }
  CloseHandle(process.hThread);
  // One byte, the exit code, once the removal has ended; none when the copy ended without
  // finishing (it was ended from outside).
  unsigned char answer = 0;
  DWORD read = 0;
  code = ReadFile(readEnd, &answer, 1, &read, nullptr) && read == 1 ? answer : kExitFailed;
  CloseHandle(readEnd);
  CloseHandle(process.hProcess);
  return true;
}

/// Where the removal runs: in the copy, which answers the first program, or (when no copy
/// could be made) in the installed program itself.
class Run {
 public:
  Run(Win32Platform& platform, const RemovalArguments& arguments, const std::string& program)
      : platform_(platform),
        arguments_(arguments),
        installDir_(FolderOf(program)),
        ownFile_(NameOf(program)),
        self_(ModulePath()) {}

  /// Answers the first program (once) and removes its file when it has ended.
  void Removed(int code, const RemovalResult& result) {
    if (answered_) return;
    answered_ = true;
    if (!arguments_.continued) {
      // Removing from the installed program: its file and folder go when the system next starts.
      if (result.outcome == RemovalOutcome::Complete) {
        std::wstring dir;
        ToWide(installDir_, dir);
        MoveFileExW(self_.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExW(dir.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
      }
      return;
    }
    const auto pipe = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(arguments_.resultPipe));
    const auto parent = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(arguments_.parentProcess));
    const unsigned char answer = static_cast<unsigned char>(code);
    DWORD written = 0;
    WriteFile(pipe, &answer, 1, &written, nullptr);
    CloseHandle(pipe);
    // Its file is in use until it has ended; it ends as soon as it has read the answer.
    WaitForSingleObject(parent, 30000);
    CloseHandle(parent);
    if (result.outcome == RemovalOutcome::Complete) {
      RemoveLeftFile(platform_, installDir_, ownFile_);
    }
  }

  [[noreturn]] void Exit(int code) {
    if (arguments_.continued) RemoveCopyLater(self_);
    ExitProcess(static_cast<UINT>(code));
  }

  int Silent(const ProductIdentity& product) {
    class Quiet : public UninstallObserver {
     public:
      void ProcessMessages() override {}
      void RemovalStarting(int32_t) override {}
      void FileStarting(int32_t, const std::string&) override {}
      // No one to ask: a file in use gets a few more chances, a second apart.
      bool RetryFileInUse(const std::string&) override {
        if (++tries_ > kSilentInUseRetries) return false;
        Sleep(1000);
        return true;
      }

     private:
      int tries_ = 0;
    } quiet;
    const RemovalResult result =
        RemoveInstallation(platform_, product, installDir_, quiet, ownFile_);
    const int code = RemovalExitCode(result.outcome);
    Removed(code, result);
    return code;
  }

  const std::string& InstallDir() const { return installDir_; }
  const std::string& OwnFile() const { return ownFile_; }

 private:
  Win32Platform& platform_;
  const RemovalArguments arguments_;
  const std::string installDir_;
  const std::string ownFile_;
  const std::wstring self_;
  bool answered_ = false;
};

std::vector<std::string> Arguments() {
  int count = 0;
  wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; list != nullptr && i < count; ++i) arguments.push_back(WideToUtf8(list[i]));
  if (list != nullptr) LocalFree(list);
  return arguments;
}

}  // namespace
}  // namespace installer

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace installer;
  // Before anything can load a library: none may come from the installation folder, the
  // copy's folder or the current directory.
  RestrictLibrarySearch();
  // The shortcuts are read through the Shell Link object.
  CoInitialize(nullptr);
  static Win32Platform platform;
  static const ProductIdentity product = BuiltInProduct();
  const std::string title = kRemovalTitlePrefix + product.title;
  const RemovalArguments arguments = ParseRemovalArguments(Arguments());
  if (!arguments.valid) {
    if (!arguments.silent) {
      MessageBoxW(nullptr, L"Uninstall.exe [/S]", DisplayWide(title).c_str(), MB_OK | MB_ICONERROR);
    }
    return kExitNothingDone;
  }
  const std::wstring self = ModulePath();
  if (!arguments.continued) {
    int code = kExitNothingDone;
    if (ContinueFromCopy(platform, self, arguments.silent, code)) return code;
  }
  static Run run(platform, arguments, arguments.continued ? arguments.program : WideToUtf8(self));

  const std::string problem = InstallDirProblem(platform, run.InstallDir());
  if (!problem.empty()) {
    if (!arguments.silent) {
      MessageBoxW(nullptr, DisplayWide(RefusedMessage(run.InstallDir(), problem)).c_str(),
                  DisplayWide(title).c_str(), MB_OK | MB_ICONERROR | MB_RTLREADING | MB_RIGHT);
    }
    RemovalResult refused;
    refused.outcome = RemovalOutcome::Refused;
    run.Removed(kExitNothingDone, refused);
    run.Exit(kExitNothingDone);
  }
  if (arguments.silent) run.Exit(run.Silent(product));

  Application::Initialize(platform);
  Application::SetTitle(title);
  static TRemovePage page(
      platform, product, run.InstallDir(), run.OwnFile(),
      [](int code, const RemovalResult& result) { run.Removed(code, result); },
      [](int code) {
        RemovalResult declined;
        declined.outcome = RemovalOutcome::Refused;
        run.Removed(code, declined);
        run.Exit(code);
      });
  Application::SetMainPage(&page);
  Application::Run();
  run.Exit(kExitNothingDone);
}
