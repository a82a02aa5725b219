// The application window, message loops and the error report.
#include "ui/Application.h"

#include <vector>

#include "engine/platform/win32/WideText.h"
#include "ui/SkinnedPage.h"
#include "ui/text/StringHelpers.h"

namespace installer {
namespace {

Platform* platform = nullptr;
HWND applicationWindow = nullptr;
std::string title;
SkinnedPage* mainPage = nullptr;
Application::SetLayeredWindowAttributesFn layered = nullptr;
bool terminated = false;

// The taskbar entry: the close command of the entry arrives here as WM_SYSCOMMAND/SC_CLOSE
// (or WM_CLOSE) and becomes the main page's close request, whichever page is showing.
LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        if (mainPage != nullptr) Application::Guard([] { mainPage->FormClose(); });
        return 0;
      }
      break;
    case WM_CLOSE:
      if (mainPage != nullptr) Application::Guard([] { mainPage->FormClose(); });
      return 0;
    case WM_ACTIVATE:
      // Clicking the taskbar entry activates this invisible window; hand the activation on
      // to the page the user works with (the enabled one, so a modal page wins).
      if (LOWORD(wParam) != WA_INACTIVE) {
        HWND last = GetLastActivePopup(window);
        if (last != window && IsWindowVisible(last) && IsWindowEnabled(last)) {
          SetActiveWindow(last);
          return 0;
        }
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

BOOL CALLBACK FindVisiblePage(HWND window, LPARAM found) {
  if (window != applicationWindow && IsWindowVisible(window) &&
      SkinnedPage::FromHandle(window) != nullptr) {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

void Application::Initialize(Platform& platformToUse) {
  platform = &platformToUse;
  HMODULE user32 = GetModuleHandleW(L"User32.dll");
  layered = user32 != nullptr ? reinterpret_cast<SetLayeredWindowAttributesFn>(reinterpret_cast<void*>(
                                    ::GetProcAddress(user32, "SetLayeredWindowAttributes")))
                              : nullptr;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = ApplicationWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hIcon = LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(1));
  windowClass.lpszClassName = L"InstallerApplication";
  RegisterClassExW(&windowClass);
  // A zero-sized captioned popup: invisible on screen, yet it carries the taskbar entry.
  applicationWindow = CreateWindowExW(0, windowClass.lpszClassName, L"",
                                      WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                      GetSystemMetrics(SM_CXSCREEN) / 2,
                                      GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr, nullptr,
                                      windowClass.hInstance, nullptr);
  terminated = false;
}

Platform& Application::CurrentPlatform() { return *platform; }
HWND Application::Window() { return applicationWindow; }

void Application::SetTitle(const std::string& newTitle) {
  title = newTitle;
  if (applicationWindow != nullptr) SetWindowTextW(applicationWindow, DisplayWide(title).c_str());
}

const std::string& Application::Title() { return title; }
void Application::SetMainPage(SkinnedPage* page) { mainPage = page; }
SkinnedPage* Application::MainPage() { return mainPage; }
Application::SetLayeredWindowAttributesFn Application::LayeredWindowAttributes() { return layered; }
bool Application::Terminated() { return terminated; }

void Application::MarkTerminated() {
  terminated = true;
  PostQuitMessage(0);
}

void Application::Run() {
  if (mainPage != nullptr && !mainPage->Visible()) mainPage->Show();
  MSG message;
  while (!terminated && GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Application::ProcessMessages() {
  MSG message;
  while (!terminated && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The main loop must still see it.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (terminated) throw ProcessEnded{};
}

std::string Application::ErrorReportText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

// Right-to-left reading only for a message in Persian: an English message that names a Persian
// file keeps its order, its quotes and its full stop where they belong.
UINT Application::ErrorReportFlags(const std::string& text) {
  UINT flags = MB_OK | MB_ICONERROR;
  if (ReadsRightToLeft(text)) flags |= MB_RTLREADING | MB_RIGHT;
  return flags;
}

void Application::ShowException(const std::exception& error) {
  const std::string text = ErrorReportText(error.what());
  HWND owner = GetActiveWindow();
  if (owner == nullptr) owner = applicationWindow;
  const UINT flags = ErrorReportFlags(text);
  MessageBoxW(owner,
              DisplayWide((flags & MB_RTLREADING) != 0 ? text : PathTextForDisplay(text)).c_str(),
              DisplayWide(title).c_str(), flags);
}

void Application::PageVisibilityChanged() {
  if (applicationWindow == nullptr) return;
  bool anyVisible = false;
  EnumThreadWindows(GetCurrentThreadId(), FindVisiblePage, reinterpret_cast<LPARAM>(&anyVisible));
  if (anyVisible != (IsWindowVisible(applicationWindow) != FALSE)) {
    ShowWindow(applicationWindow, anyVisible ? SW_SHOWNOACTIVATE : SW_HIDE);
  }
}

}  // namespace installer
