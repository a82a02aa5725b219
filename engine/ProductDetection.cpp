// The start-up check: a product that is already installed is started instead of the wizard.
#include "engine/InstallSteps.h"

namespace installer {

void DetectInstalledProduct(Platform& platform, uintptr_t ownerWindow) {
  std::string candidate = kProductName;
  RegKey key = 0;
  // Read access is all the check needs, and all a user without administrator rights has:
  // asking for full access would fail for that user and show the wizard over an installed
  // product.
  if (platform.RegOpenKeyForReading(kHKeyLocalMachine,
                                    std::string(kUninstallKeyPrefix) + kProductName, key) == 0 &&
      key != 0) {
    RegKeyCloser closer(platform, key);
    candidate = ReadRegistryString(platform, key, "MainProgram").value_or("");
  }
  if (!platform.FileExists(candidate)) return;
  const size_t end = candidate.find_last_of("\\:");
  const std::string directory = end == std::string::npos ? "" : candidate.substr(0, end + 1);
  platform.ShellExecute(ownerWindow, "open", candidate, "", directory, kShowWindow);
  platform.EndProcess();
}

}  // namespace installer
