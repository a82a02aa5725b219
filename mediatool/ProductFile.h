// The product file: the one text a vendor writes to describe their product (names, medium
// folders, pictures, signing). The build reads it to fix what setup.exe installs; the vendor
// tool reads it for the staged names and the check.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mediatool {

struct ProductFile {
  std::string path;  ///< the file itself, as given

  // [Product]
  std::string name;             ///< uninstall key, staged <Name>.DAT, DisplayName
  std::string folder;           ///< folder appended to the parent the user picks (default: name)
  std::string title;            ///< display name: link names and the pages' art
  std::string group;            ///< Start-menu group
  std::string publisher, author;
  std::string configFirstLine;  ///< INSTALL.CFG line 1
  std::string configPublisher;  ///< INSTALL.CFG line 6

  // [Medium]: paths resolved against the file's folder; "" when not given
  std::string product, mainProgram, uninstaller, system, fonts, pictures;
  std::string label;            ///< the disc's volume label (default derived from name)
  std::string target = "cd";    ///< cd or ntfs

  // [Signing]
  std::string certificate, key, passwordVariable;
};

struct ProductFileError {
  std::string file;
  int line = 0;         ///< 0 when the error belongs to no line (a missing section)
  std::string key;      ///< "[Section] Key", or "[Section]", or "" for a line of no key
  std::string message;
  std::string Text() const;  ///< "FILE:LINE: [Section] Key: message"
};

struct ProductFileResult {
  ProductFile product;
  std::vector<ProductFileError> errors;  ///< every problem of the file, in line order
  std::vector<std::pair<std::string, int>> keyLines;  ///< "[Section] Key" and the line it is on
  bool ok() const { return errors.empty(); }
};

/// Parses and checks a product file's text. `path` names it in the errors and is the base of
/// its relative paths. Paths are resolved but not looked up (see CheckProductPaths).
ProductFileResult ParseProductFile(std::string_view text, const std::string& path);

/// Reads the file, parses it and checks that every path it names exists and is of its kind.
ProductFileResult ReadProductFile(const std::string& path);

/// Appends an error for each path of `result.product` that does not exist or is of the wrong
/// kind (a file where a folder is wanted, or the reverse).
void CheckProductPaths(ProductFileResult& result);

/// Why `name` cannot be a file or folder name on Windows ("" when it can).
std::string WindowsNameProblem(std::string_view name);

/// The volume label derived from a product name: A-Z, 0-9 and _, at most 16 characters.
std::string DefaultLabel(std::string_view name);

/// Why `label` cannot be the disc's volume label ("" when it can).
std::string LabelProblem(std::string_view label);

}  // namespace mediatool
