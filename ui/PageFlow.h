// Decisions of the wizard that need no window, so native tests can reach them.
#pragma once

#include <cstdint>
#include <string>

namespace installer {

/// The parent folder the folder chooser opens on: the target path without its last
/// `productFolder.size()` characters (whatever they are). Paths up to 255 characters are cut
/// with the 8-bit position and count of ReplaceAt; longer ones at their full length.
std::string ChooserParent(const std::string& path, const std::string& productFolder);

/// The target path the folder chooser's OK writes: the folder with a trailing backslash,
/// then `productFolder`.
std::string ChosenTargetPath(const std::string& folder, const std::string& productFolder);

/// True when the finish picture for Windows 6 and later (ImageToz) applies.
bool UsesNewFinishPicture(uint8_t majorVersion);

/// Where a page of `pageSize` lands when centred on a desktop of `desktopSize`.
int CentredPosition(int desktopSize, int pageSize);

/// While small files go by, the file label is repainted at most this often (milliseconds), ten
/// times a second: a name shown for less than this cannot be read anyway, and under Wine every
/// repaint of a page with a see-through colour costs the program about two milliseconds (the
/// page's shape is worked out again from every pixel of it) and the display server a new shape
/// for the window, which on a busy machine with two cores was the larger part of the page's
/// cost. When the gauge moves (at most 101 times) the label is repainted with it, in the same
/// flush, and its interval starts again.
inline constexpr uint32_t kFileLabelInterval = 100;
/// Before the copy's pace is known, a file of this many progress units (1000 bytes) or more
/// shows its name before its copy begins: from a disc it takes long enough to be read.
inline constexpr int32_t kFileLabelImmediateUnits = 64;

/// Whether the file label is repainted for the file now starting, given the gauge position
/// before it (`previous`) and with it (`progress`, which counts the file as done), the time
/// now, the time of the label's last repaint and the time the copy started (milliseconds of a
/// wrapping 32-bit clock). Between the paced repaints, a file shows its name at once when its
/// copy can be expected to last the label's interval or longer: expected from the pace of
/// the copy so far (the units done since it started), or from its size while nothing is
/// done yet. From a disc that is most files of some size; from a fast disk almost none,
/// where a repaint would cost more than the copy. The label's text changes for every file
/// either way; a repaint left out shows the newer text at the next one.
bool RepaintFileLabelNow(int32_t previous, int32_t progress, uint32_t now, uint32_t lastRepaint,
                         uint32_t copyStart);

/// Between two files of the copy the install page asks the queue whether anything waits
/// (GetQueueStatus, one question) and dispatches messages only when something does. It still
/// dispatches at least this often (milliseconds), whatever the answer: under Wine input reaches
/// the queue only while messages are being fetched, so a keypress waits at most this long, far
/// below what a person notices.
inline constexpr uint32_t kMessagePumpInterval = 40;

/// Whether the install page dispatches messages before the next file, given the queue's
/// status (GetQueueStatus(QS_ALLINPUT): what arrived since the last question and what waits),
/// the time now and the time of the last dispatching (milliseconds of a wrapping clock).
bool DispatchMessagesNow(uint32_t queueStatus, uint32_t now, uint32_t lastDispatch);

}  // namespace installer
