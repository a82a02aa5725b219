// The folder chooser: picks the parent folder under which the product is installed, with a
// drive box, a folder list, the open folder's path and its drive's capacity and free space.
// Shown modally by the install page's change hotspot.
#pragma once

#include <memory>
#include <string>

#include "ui/SkinnedPage.h"
#include "ui/controls/DirectoryListBox.h"
#include "ui/controls/DriveComboBox.h"

namespace installer {

class TForm4 : public SkinnedPage {
 public:
  TForm4();
  /// Opens the folder list on `folder` (the install page does this before showing the page);
  /// raises the folder list's I/O error when the folder cannot be entered.
  void SetDirectory(const std::string& folder);
  /// The folder open in the folder list, in full.
  const std::string& Directory() const { return DirectoryListBox1->Directory(); }

  void FormShow() override;
  void DriveComboBox1Change();
  void okClick();
  void cancelClick();
  void FormKeyPress(wchar_t key) override;
  void FormClose() override;
  /// Refreshes the capacity and free-space figures from the open folder's drive.
  void UpdateDiskInfo();

  TDriveComboBox& DriveBox() { return *DriveComboBox1; }
  TDirectoryListBox& FolderList() { return *DirectoryListBox1; }
  const std::string& DirectoryLabelText() const { return LabelText(label2_); }
  const std::string& DiskTotalText() const { return LabelText(diskKol_); }
  const std::string& DiskFreeText() const { return LabelText(diskFree_); }
  size_t OkHotspot() const { return ok_; }
  size_t CancelHotspot() const { return cancel_; }

 protected:
  HWND FocusTarget() const override { return DriveComboBox1->Hwnd(); }

 private:
  Picture picture_;
  size_t ok_ = 0, cancel_ = 0;
  size_t label2_ = 0, label1_ = 0, diskKol_ = 0, label6_ = 0, label7_ = 0, diskFree_ = 0,
         label4_ = 0;
  std::unique_ptr<TDriveComboBox> DriveComboBox1;
  std::unique_ptr<TDirectoryListBox> DirectoryListBox1;
};

}  // namespace installer
