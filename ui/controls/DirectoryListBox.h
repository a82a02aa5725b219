// TDirectoryListBox: the folder chooser's folder list, an owner-drawn list of the path from
// the drive's root to the open folder followed by the open folder's subfolders. Its open
// folder is always the process's current directory; every change of folder writes the
// directory label, shortened to the label's width.
// List box: https://learn.microsoft.com/en-us/windows/win32/controls/list-boxes
#pragma once

#include "engine/platform/win32/WindowsApi.h"

#include <functional>
#include <string>
#include <vector>

#include "engine/platform/Platform.h"
#include "ui/controls/ListLogic.h"

namespace installer {

class TDriveComboBox;

struct DirectoryListBoxArgs {
  HWND parent = nullptr;
  int left = 244;
  int top = 294;
  int width = 313;
  int height = 227;
  int itemHeight = 17;
  HFONT font = nullptr;
  Platform* platform = nullptr;  ///< the current directory and the folder enumeration
};

/// The label the list writes its open folder into (the page's Label2).
struct DirLabelLink {
  HFONT font = nullptr;
  int width = 0;
  std::function<void(const std::string&)> setText;
};

class TDirectoryListBox {
 public:
  /// Creates the list on the process's current directory.
  explicit TDirectoryListBox(const DirectoryListBoxArgs& args);
  ~TDirectoryListBox();
  TDirectoryListBox(const TDirectoryListBox&) = delete;
  TDirectoryListBox& operator=(const TDirectoryListBox&) = delete;

  HWND Hwnd() const { return hwnd_; }
  /// The open folder as the system reports the current directory ("C:\", "C:\Games").
  const std::string& Directory() const { return directory_; }
  char Drive() const { return directory_.empty() ? '\0' : directory_[0]; }
  /// Opens an absolute folder path. A folder that cannot be entered raises its I/O error
  /// ("I/O error 21", "File not found", ...) before anything changes.
  void SetDirectory(const std::string& path);
  /// Follows the drive box to another drive: enters the drive's current folder.
  void DriveChanged(char letter);

  void SetDriveBox(TDriveComboBox* box) { driveBox_ = box; }
  void SetDirLabel(DirLabelLink label);

  const std::vector<FolderItem>& Items() const { return items_; }
  int SelectedIndex() const;
  /// Opens item `index` (double click, Enter): sets `Directory` to its path.
  void OpenItem(size_t index);
  bool CasePreserving() const { return casePreserving_; }

  /// The page's key handler: sees every typed key first; Esc and Enter go only to it.
  std::function<void(wchar_t)> OnKeyPress;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void DrawItem(const DRAWITEMSTRUCT& draw);
  void EnterFolder(const std::string& path);
  void BuildItems();
  void WriteLabel();
  void TypeToFind(const std::string& key);

  DirectoryListBoxArgs args_;
  Platform& platform_;
  HWND hwnd_ = nullptr;
  WNDPROC listProc_ = nullptr;
  std::string directory_;
  std::vector<FolderItem> items_;
  bool casePreserving_ = true;
  bool caseSensitive_ = false;
  bool settingDirectory_ = false;  // the drive box follows without a rebuild meanwhile
  TDriveComboBox* driveBox_ = nullptr;
  DirLabelLink label_;
  TypeAhead typeAhead_;
};

}  // namespace installer
