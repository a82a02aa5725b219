// Window-free decisions of the wizard's pages.
#include "ui/PageFlow.h"

#include <algorithm>

#include "ui/text/StringHelpers.h"

namespace installer {

std::string ChooserParent(const std::string& path, const std::string& productFolder) {
  const size_t length = path.size();
  const size_t cut = productFolder.size();
  if (length <= 255) {
    const auto position = static_cast<uint8_t>(length - cut + 1);
    return ReplaceAt(path, position, static_cast<uint8_t>(cut), "");
  }
  // Beyond 255 characters the 8-bit position would wrap and cut the wrong place.
  return path.substr(0, length - cut);
}

std::string ChosenTargetPath(const std::string& folder, const std::string& productFolder) {
  std::string parent = folder;
  if (RightStr(parent, 1) != "\\") parent += "\\";
  return parent + productFolder;
}

bool UsesNewFinishPicture(uint8_t majorVersion) { return majorVersion > 5; }

int CentredPosition(int desktopSize, int pageSize) { return (desktopSize - pageSize) / 2; }

bool RepaintFileLabelNow(int32_t previous, int32_t progress, uint32_t now, uint32_t lastRepaint,
                         uint32_t copyStart) {
  // Unsigned differences: right across the clock's wrap.
  if (now - lastRepaint >= kFileLabelInterval) return true;
  const int64_t fileUnits = static_cast<int64_t>(progress) - previous;
  if (fileUnits <= 0) return false;
  if (previous <= 0) return fileUnits >= kFileLabelImmediateUnits;
  // The file's expected time is fileUnits * elapsed / previous; a clock that has not moved
  // yet counts as one millisecond.
  const int64_t elapsed = std::max<int64_t>(1, now - copyStart);
  return fileUnits * elapsed >= static_cast<int64_t>(kFileLabelInterval) * previous;
}

bool DispatchMessagesNow(uint32_t queueStatus, uint32_t now, uint32_t lastDispatch) {
  return queueStatus != 0 || now - lastDispatch >= kMessagePumpInterval;
}

}  // namespace installer
