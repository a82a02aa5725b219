// Session set-up and the default target path.
#include "engine/InstallSession.h"

namespace installer {

ProductIdentity BuiltInProduct() {
  return {product::kName,      product::kFolder, product::kTitle,           product::kGroup,
          product::kPublisher, product::kAuthor, product::kConfigFirstLine, product::kConfigPublisher};
}

void InitializeSession(InstallSession& session, const ProductIdentity& product) {
  session.SourceFolder = kSourceFolder;
  session.ProductFolder = product.folder;
  session.ProductName = product.name;
  session.ShortcutName = product.title;
  session.ProgramGroup = product.group;
  session.Publisher = product.publisher;
  session.Author = product.author;
  session.ConfigFirstLine = product.configFirstLine;
  session.ConfigPublisher = product.configPublisher;
  session.MediaRoot = session.platform.GetCurrentDir();
}

std::string DefaultInstallPath(InstallSession& session) {
  const std::string windowsDir = session.platform.GetWindowsDirectory();
  const std::string drive = windowsDir.empty() ? std::string() : windowsDir.substr(0, 1);
  return drive + ":\\" + session.ProductFolder;
}

}  // namespace installer
