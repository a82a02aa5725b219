// The page pictures: what each page shows inside the frame, placed under the pages' hotspots.
#pragma once

#include <string>

#include "Canvas.h"
#include "Outline.h"
#include "Widgets.h"

namespace assetgen {

/// The welcome and exit pages and the uninstaller's window are 824 pixels wide and draw the
/// picture 2 pixels in, so a hotspot at client x lies over picture x - 2; the install page and
/// the chooser draw at 0.
constexpr int kWidePageOffset = 2;

enum class FinishStyle { Windows6, Windows5 };

/// The welcome page names the product in its heading and first sentence; a long title takes
/// smaller type or more lines, and the disc above gives way to them.
void PaintWelcome(Canvas& canvas, const Fonts& fonts, const std::string& title);
void PaintInstall(Canvas& canvas, const Fonts& fonts);
void PaintFinish(Canvas& canvas, const Fonts& fonts, FinishStyle style);
void PaintExit(Canvas& canvas, const Fonts& fonts);
void PaintChooser(Canvas& canvas, const Fonts& fonts);

/// The uninstaller's three pages, shown one after the other on one window: the question (its
/// heading names the product), the progress (likewise) and the last page, whose heading and
/// list of kept folders are written at run time. A long title takes smaller type or more lines.
void PaintRemoveAsk(Canvas& canvas, const Fonts& fonts, const std::string& title);
void PaintRemoveProgress(Canvas& canvas, const Fonts& fonts, const std::string& title);
void PaintRemoveDone(Canvas& canvas, const Fonts& fonts);

}  // namespace assetgen
