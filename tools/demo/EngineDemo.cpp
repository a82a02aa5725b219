// Runs a whole installation with the engine alone, from the medium in the current directory
// to the default target path, printing what the install page would show. Used by the README's
// run command until the wizard drives the engine.
#include "engine/platform/win32/WindowsApi.h"

#include <cstdio>
#include <string>

#include "engine/Errors.h"
#include "engine/FileCopy.h"
#include "engine/InstallSession.h"
#include "engine/InstallSteps.h"
#include "engine/platform/win32/Win32Platform.h"

namespace {

// The engine's text is UTF-8 already, so Persian names print readably in a terminal.
void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

class ConsoleObserver : public installer::InstallObserver {
 public:
  void ProcessMessages() override {}
  void InstallStarting() override { Print("space check passed"); }
  void CopyStarting(int32_t maxValue) override {
    maxValue_ = maxValue;
    Print("copying " + std::to_string(maxValue) + " units of 1000 bytes");
  }
  void FileStarting(int32_t progress, const std::string& caption) override {
    Print("[" + std::to_string(progress) + "/" + std::to_string(maxValue_) + "] " + caption);
  }

 private:
  int32_t maxValue_ = 0;
};

}  // namespace

int main() {
  CoInitialize(nullptr);
  installer::Win32Platform platform;
  installer::InstallSession session(platform);
  installer::InitializeSession(session);
  const std::string target = installer::DefaultInstallPath(session);
  Print("medium: " + session.MediaRoot);
  Print("target: " + target);
  ConsoleObserver observer;
  try {
    installer::RunInstall(session, target, observer);
    installer::RunPostCopySteps(session);
  } catch (const installer::InstallError& e) {
    Print(std::string("error: ") + e.what());
    return 1;
  }
  Print("installation complete");
  return 0;
}
