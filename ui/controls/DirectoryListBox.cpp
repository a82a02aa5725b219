// The folder list: the current directory, folder enumeration, owner drawing, opening items,
// type-to-find and the directory label.
#include "ui/controls/DirectoryListBox.h"

#include <algorithm>

#include "engine/Errors.h"
#include "engine/platform/win32/WideText.h"
#include "ui/Application.h"
#include "ui/controls/DriveComboBox.h"
#include "ui/controls/Glyphs.h"

namespace installer {
namespace {

// Folder names in the user's locale order, without regard to case (the platform compares
// the same way when it looks names up).
bool LocaleLess(const std::string& a, const std::string& b) {
  const std::wstring wideA = DisplayWide(a);
  const std::wstring wideB = DisplayWide(b);
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wideA.c_str(),
                        static_cast<int>(wideA.size()), wideB.c_str(),
                        static_cast<int>(wideB.size())) == CSTR_LESS_THAN;
}

const wchar_t* GlyphName(FolderGlyph glyph) {
  switch (glyph) {
    case FolderGlyph::Open: return L"OPENFOLDER";
    case FolderGlyph::Current: return L"CURRENTFOLDER";
    case FolderGlyph::Closed: return L"CLOSEDFOLDER";
  }
  return L"CLOSEDFOLDER";
}

bool SameLetter(char a, char b) {
  return UpperCaseAscii(std::string(1, a)) == UpperCaseAscii(std::string(1, b));
}

}  // namespace

TDirectoryListBox::TDirectoryListBox(const DirectoryListBoxArgs& args)
    : args_(args), platform_(*args.platform) {
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED |
                              LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                          args_.left, args_.top, args_.width, args_.height, args_.parent, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  listProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TDirectoryListBox::SubclassProc)));
  if (args_.font != nullptr) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(args_.font), FALSE);
  SendMessageW(hwnd_, LB_SETITEMHEIGHT, 0, args_.itemHeight);
  directory_ = platform_.GetCurrentDir();
  BuildItems();
}

TDirectoryListBox::~TDirectoryListBox() {
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(listProc_));
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void TDirectoryListBox::SetDirLabel(DirLabelLink label) {
  label_ = std::move(label);
  WriteLabel();
}

int TDirectoryListBox::SelectedIndex() const {
  return static_cast<int>(SendMessageW(hwnd_, LB_GETCURSEL, 0, 0));
}

void TDirectoryListBox::SetDirectory(const std::string& path) {
  if (path.empty()) return;
  const bool same = caseSensitive_ ? path == directory_
                                   : LowerCaseAscii(path) == LowerCaseAscii(directory_);
  if (same) return;
  // Entering the folder is the test whether it can be entered: on failure nothing has
  // changed yet (a failed SetCurrentDirectory keeps the previous directory).
  const uint32_t code = platform_.SetCurrentDir(path);
  if (code != 0) RaiseInOutError(code);
  if (driveBox_ != nullptr && !path.empty() && !SameLetter(path[0], Drive()) && path.size() > 1 &&
      path[1] == ':') {
    settingDirectory_ = true;
    try {
      driveBox_->SetDrive(path[0]);
    } catch (...) {
      settingDirectory_ = false;
      throw;
    }
    settingDirectory_ = false;
  }
  EnterFolder(path);
}

void TDirectoryListBox::DriveChanged(char letter) {
  if (SameLetter(letter, Drive())) return;
  // "D:" alone enters the folder the system keeps for that drive (normally its root).
  const uint32_t code = platform_.SetCurrentDir(std::string(1, letter) + ":");
  if (code != 0) RaiseInOutError(code);
  directory_ = platform_.GetCurrentDir();
  if (!settingDirectory_) {
    BuildItems();
    WriteLabel();
  }
}

void TDirectoryListBox::EnterFolder(const std::string& path) {
  const uint32_t code = platform_.SetCurrentDir(path);
  if (code != 0) RaiseInOutError(code);
  directory_ = platform_.GetCurrentDir();
  BuildItems();
  WriteLabel();
}

void TDirectoryListBox::OpenItem(size_t index) {
  if (index >= items_.size()) return;
  SetDirectory(FolderItemPath(directory_, items_, index));
}

void TDirectoryListBox::BuildItems() {
  const std::wstring root = DisplayWide(DrivePart(directory_) + "\\");
  DWORD flags = 0;
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
  GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0);
  SetErrorMode(previous);
  casePreserving_ = (flags & (FILE_CASE_PRESERVED_NAMES | FILE_CASE_SENSITIVE_SEARCH)) != 0;
  caseSensitive_ = (flags & FILE_CASE_SENSITIVE_SEARCH) != 0;

  // Without the hidden and system bits in the mask the platform leaves such folders out.
  std::vector<std::string> names;
  const std::string pattern =
      directory_ + (!directory_.empty() && directory_.back() == '\\' ? "*" : "\\*");
  SearchRec rec;
  for (int result = platform_.FindFirst(pattern, kAttrDirectory, rec); result == 0;
       result = platform_.FindNext(rec)) {
    if ((rec.Attr & kAttrDirectory) == 0 || (rec.Attr & (kAttrHidden | kAttrSystem)) != 0) continue;
    if (rec.Name == "." || rec.Name == "..") continue;
    names.push_back(rec.Name);
  }
  platform_.FindClose(rec);
  items_ = BuildFolderItems(directory_, std::move(names), LocaleLess);

  SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
  // No LBS_HASSTRINGS: each entry's data is its index into items_.
  for (size_t i = 0; i < items_.size(); ++i) SendMessageW(hwnd_, LB_ADDSTRING, 0, static_cast<LPARAM>(i));
  SendMessageW(hwnd_, LB_SETCURSEL, OpenFolderIndex(items_), 0);
  SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TDirectoryListBox::WriteLabel() {
  if (!label_.setText) return;
  HDC dc = GetDC(hwnd_);
  HGDIOBJ previous = SelectObject(dc, label_.font);
  auto measure = [dc](const std::string& text) {
    const std::wstring wide = DisplayWide(text);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return static_cast<int>(size.cx);
  };
  const std::string text = FitPathToWidth(directory_, label_.width, measure);
  SelectObject(dc, previous);
  ReleaseDC(hwnd_, dc);
  label_.setText(text);
}

void TDirectoryListBox::TypeToFind(const std::string& key) {
  const std::string& prefix = typeAhead_.Key(key, GetTickCount());
  std::vector<std::string> texts;
  for (const FolderItem& item : items_) texts.push_back(FolderDisplayText(item.text, casePreserving_));
  const int found = FindItemByPrefix(texts, prefix, static_cast<size_t>(std::max(SelectedIndex(), 0)));
  if (found >= 0) SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
}

void TDirectoryListBox::DrawItem(const DRAWITEMSTRUCT& draw) {
  HDC dc = draw.hDC;
  RECT rect = draw.rcItem;
  const bool selected = (draw.itemState & ODS_SELECTED) != 0;
  FillRect(dc, &rect, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (draw.itemID == static_cast<UINT>(-1) || draw.itemID >= items_.size()) return;
  const FolderItem& item = items_[draw.itemID];
  const int indent = FolderItemIndent(directory_, items_, draw.itemID);
  const Glyph& glyph = LoadGlyph(GlyphName(item.glyph));
  DrawGlyph(dc, glyph, rect.left + indent, (rect.top + rect.bottom - glyph.height) / 2);
  RECT textRect = rect;
  textRect.left += indent + glyph.width + 4;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  const std::wstring text = DisplayWide(FolderDisplayText(item.text, casePreserving_));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
            DT_SINGLELINE | DT_TOP | DT_NOPREFIX | DT_LEFT);
  if ((draw.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &rect);
}

LRESULT CALLBACK TDirectoryListBox::SubclassProc(HWND hwnd, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  auto* list = reinterpret_cast<TDirectoryListBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (list == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return list->HandleMessage(message, wParam, lParam);
}

LRESULT TDirectoryListBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kReflectedDrawItem:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case kReflectedCommand:
      if (HIWORD(wParam) == LBN_DBLCLK) {
        const int index = SelectedIndex();
        if (index >= 0) Application::Guard([&] { OpenItem(static_cast<size_t>(index)); });
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_TAB) {
        FocusNextTabStop(hwnd_);
        return 0;
      }
      break;
    case WM_CHAR: {
      const auto key = static_cast<wchar_t>(wParam);
      // The page's handler sees the key first: Enter there accepts the open folder, not the
      // highlighted item.
      if (OnKeyPress) Application::Guard([&] { OnKeyPress(key); });
      if (key == 13) {
        if (!OnKeyPress) {
          const int index = SelectedIndex();
          if (index >= 0) Application::Guard([&] { OpenItem(static_cast<size_t>(index)); });
        }
        return 0;
      }
      if (key == 27 || key == 9) return 0;
      if (key == 8 || key >= 32) {
        // A Persian letter is several bytes of UTF-8; the prefix takes and drops it whole.
        TypeToFind(WideToUtf8(std::wstring(1, key)));
      }
      return 0;
    }
    default:
      break;
  }
  return CallWindowProcW(listProc_, hwnd_, message, wParam, lParam);
}

}  // namespace installer
