// Driving the wizard's pages in-process: the message pump, keys and clicks as real window
// messages, and message boxes answered from a timer so that a test never blocks on them.
#pragma once

#include "engine/platform/win32/WindowsApi.h"

#include <string>
#include <vector>

#include "engine/platform/win32/WideText.h"
#include "ui/SkinnedPage.h"

namespace installer::testing {

/// Message boxes of this thread that AnswerMessageBoxes met, as "caption|text", the text as a
/// reader sees it (without the invisible direction marks).
inline std::vector<std::string> reports;

/// The texts of the same boxes as drawn, with their direction marks. (Wine keeps no trace of
/// a box's right-to-left reading that a test could read back.)
inline std::vector<std::string> shownBoxes;

inline std::string WithoutDirectionMarks(std::string text) {
  for (size_t at; (at = text.find("\u200E")) != std::string::npos;) text.erase(at, 3);
  return text;
}

inline BOOL CALLBACK AnswerMessageBox(HWND window, LPARAM) {
  wchar_t className[16];
  GetClassNameW(window, className, 16);
  if (lstrcmpW(className, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  wchar_t caption[256];
  wchar_t text[1024];
  GetWindowTextW(window, caption, 256);
  GetDlgItemTextW(window, 0xFFFF, text, 1024);  // the message box's static text
  const std::string shown = WideToUtf8(text);
  reports.push_back(WideToUtf8(caption) + "|" + WithoutDirectionMarks(shown));
  shownBoxes.push_back(shown);
  PostMessageW(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

/// A thread timer's procedure (SetTimer(nullptr, 0, 30, AnswerMessageBoxes)): records and
/// closes every open message box, also while one runs its own modal loop.
inline void CALLBACK AnswerMessageBoxes(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), AnswerMessageBox, 0);
}

/// Handles what is queued, as the main loop would.
inline void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

inline void Key(SkinnedPage& page, wchar_t key) { SendMessageW(page.Handle(), WM_CHAR, key, 0); }
inline void PostKey(SkinnedPage& page, wchar_t key) {
  PostMessageW(page.Handle(), WM_CHAR, key, 0);
}
/// Queues a press and release at a client point of the page.
inline void PostClick(SkinnedPage& page, POINT at) {
  PostMessageW(page.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  PostMessageW(page.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

}  // namespace installer::testing
