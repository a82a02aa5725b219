// TDriveComboBox: the folder chooser's drive box, an owner-drawn drop-down pick list of the
// machine's drives with a glyph and a text per drive. It moves its folder list to the drive
// picked and is moved by the folder list when that is sent to another drive.
// Combo box: https://learn.microsoft.com/en-us/windows/win32/controls/combo-boxes
#pragma once

#include "engine/platform/win32/WindowsApi.h"

#include <functional>
#include <vector>

#include "ui/controls/ListLogic.h"

namespace installer {

class TDirectoryListBox;

struct DriveComboBoxArgs {
  HWND parent = nullptr;
  int left = 243;
  int top = 270;
  int width = 314;
  int height = 22;
  HFONT font = nullptr;
  bool upperCase = true;  ///< TextCase tcUpperCase; lower case otherwise
};

class TDriveComboBox {
 public:
  /// Creates the box and builds its items; `Drive` starts as the first character of the
  /// process's current directory (none for a network path).
  explicit TDriveComboBox(const DriveComboBoxArgs& args);
  ~TDriveComboBox();
  TDriveComboBox(const TDriveComboBox&) = delete;
  TDriveComboBox& operator=(const TDriveComboBox&) = delete;

  HWND Hwnd() const { return hwnd_; }
  /// The selected drive letter in upper case, or '\0' for none.
  char Drive() const { return drive_; }
  /// Selects the drive's item, moves the folder list to it (which may raise its I/O error;
  /// the selection then stays on the new drive), then raises the change report.
  void SetDrive(char letter);
  /// Links the folder list that follows this box (both ways).
  void SetDirList(TDirectoryListBox* list);
  TDirectoryListBox* DirList() const { return dirList_; }

  const std::vector<DriveItem>& Items() const { return items_; }
  int SelectedIndex() const;
  /// Clears and rebuilds the items from the machine's drives, selects `Drive` and raises the
  /// change report. Runs at creation; the items stay as they are afterwards.
  void BuildItems();
  /// What the user's pick of item `index` does: set `Drive` to its letter, then one more change
  /// report. A pick is a click on an item of the open list, Enter, or a key (arrows, a letter)
  /// or the wheel moving the selection while the list is closed; moving through the open list
  /// picks nothing.
  void Pick(int index);

  /// The change report (the page's DriveComboBox1Change).
  std::function<void()> OnChange;
  /// The page's key handler: sees every typed key first; Esc and Enter go only to it.
  std::function<void(wchar_t)> OnKeyPress;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void DrawItem(const DRAWITEMSTRUCT& draw);
  void Change();
  LRESULT WithPickWhileClosed(UINT message, WPARAM wParam, LPARAM lParam);
  void ShowChosenDrive();

  DriveComboBoxArgs args_;
  HWND hwnd_ = nullptr;
  WNDPROC comboProc_ = nullptr;
  char drive_ = '\0';
  std::vector<DriveItem> items_;
  TDirectoryListBox* dirList_ = nullptr;
  bool listOpen_ = false;  // the drop-down opened and has not closed with a pick or cancel yet
};

}  // namespace installer
