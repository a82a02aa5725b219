// The program as a whole: its title and taskbar entry, the page that receives the taskbar's
// close command, the message loops, and the standard error report.
#pragma once

#include "engine/platform/win32/WindowsApi.h"

#include <exception>
#include <string>

#include "engine/platform/Platform.h"
#include "ui/text/PersianTexts.h"

namespace installer {

class SkinnedPage;


namespace Application {

/// Creates the application window (the program's one taskbar entry and the owner of every
/// page) and looks up the layered-window support. `platform` serves every OS call of the pages
/// and the engine; it must outlive the program's windows.
void Initialize(Platform& platform);
Platform& CurrentPlatform();
HWND Window();
void SetTitle(const std::string& title);
const std::string& Title();

/// The first page created; the taskbar entry's close command becomes its close request.
void SetMainPage(SkinnedPage* page);
SkinnedPage* MainPage();

/// SetLayeredWindowAttributes, looked up by name in User32.dll; null where the system has no
/// layered windows (pages are then plain rectangles).
using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
SetLayeredWindowAttributesFn LayeredWindowAttributes();

/// Shows the main page if needed and dispatches messages until a quit message.
void Run();
/// Dispatches every pending message, then returns. Raises ProcessEnded when the program was
/// ended meanwhile (only a test platform's EndProcess returns control at all).
void ProcessMessages();

/// The standard error report: a message box owned by the program with the title as caption,
/// the error icon, an OK button, and the message with "." appended when its last character
/// sorts after ".".
void ShowException(const std::exception& error);
/// The message as the error report shows it.
std::string ErrorReportText(const std::string& message);
/// The report's message-box style for that text: right-to-left reading (and alignment) only
/// when the text's own language reads right to left.
UINT ErrorReportFlags(const std::string& text);

/// Runs an event handler: an error that leaves it goes to the error report; the end of the
/// program (a test platform's ProcessEnded) stops the loops.
template <typename Handler>
void Guard(Handler&& handler);

/// True once EndProcess was called on a platform that returns control (tests).
bool Terminated();
void MarkTerminated();

/// Keeps the taskbar entry shown while at least one page is visible.
void PageVisibilityChanged();

}  // namespace Application

template <typename Handler>
void Application::Guard(Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (const ProcessEnded&) {
    MarkTerminated();
  }
}

}  // namespace installer
