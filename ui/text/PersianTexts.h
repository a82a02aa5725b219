// The wizard's fixed Persian texts, in UTF-8 as the program carries all its text. They are
// written with the letters of code page 1256 (Arabic yeh U+064A, Arabic kaf U+0643 in places),
// exactly as the pages have always shown them; a test pins their code page 1256 bytes.
#pragma once

namespace installer {

/// The taskbar entry and the caption of the error report (ends with a space).
inline constexpr const char* kApplicationTitle = "برنامه نصب ";

// Window texts: not shown on the pages, but the windows carry them.
inline constexpr const char* kWelcomeWindowText = "نصب برنامه ";
inline constexpr const char* kInstallWindowText = "مسير نصب برنامه";
inline constexpr const char* kChooserWindowText = "تعيين مسير نصب ";
inline constexpr const char* kExitWindowText = " ";

// Install page.
inline constexpr const char* kNextHint = "شروع نصب";          // start installing
inline constexpr const char* kChangeHint = "تغيير مسير نصب";  // change the installation path
/// "The system is transferring data, please wait a few moments."
inline constexpr const char* kWaitText = "سيستم در حال انتقال اطلاعات لطفا براي لحظاتي صبر کنيد";

// Folder chooser.
/// "Total capacity of the disk:"
inline constexpr const char* kCapacityCaption = "مقدار ظرفيت كل ديسك:";
/// ":Amount of free space" (colon first, drawn left to right)
inline constexpr const char* kFreeCaption = ":مقدار فضاي خالي";

}  // namespace installer
