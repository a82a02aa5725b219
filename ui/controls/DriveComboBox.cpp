// The drive box: the system's drive queries, owner drawing, and the link to the folder list.
#include "ui/controls/DriveComboBox.h"

#include <algorithm>
#include <string>

#include "engine/platform/win32/DllSearch.h"
#include "engine/platform/win32/WideText.h"
#include "ui/Application.h"
#include "ui/controls/DirectoryListBox.h"
#include "ui/controls/Glyphs.h"

namespace installer {
namespace {

constexpr DWORD kNameBuffer = 261;

std::wstring DriveRoot(char letter) { return std::wstring{static_cast<wchar_t>(letter), L':', L'\\'}; }

std::string UpperCaseText(std::wstring text) {
  if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return WideToUtf8(text);
}

uint32_t QueryDriveType(char letter) { return GetDriveTypeW(DriveRoot(letter).c_str()); }

std::string QueryVolumeLabel(char letter) {
  // No "insert a disk" box from the system while an empty drive is asked for its label.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
  wchar_t label[kNameBuffer] = {};
  const BOOL ok = GetVolumeInformationW(DriveRoot(letter).c_str(), label, kNameBuffer, nullptr,
                                        nullptr, nullptr, nullptr, 0);
  SetErrorMode(previous);
  return ok ? UpperCaseText(label) : std::string();
}

using WNetGetConnectionWFn = DWORD(WINAPI*)(LPCWSTR, LPWSTR, LPDWORD);

// The network provider library is no KnownDLL: imported statically it would be looked up
// beside setup.exe at process start. It is loaded from the system folder when the first
// network drive is asked for its share, and stays loaded.
WNetGetConnectionWFn NetworkConnectionQuery() {
  static const WNetGetConnectionWFn query = [] {
    const HMODULE mpr = LoadSystemLibrary(L"mpr.dll");
    return mpr == nullptr ? nullptr
                          : reinterpret_cast<WNetGetConnectionWFn>(reinterpret_cast<void (*)()>(
                                ::GetProcAddress(mpr, "WNetGetConnectionW")));
  }();
  return query;
}

std::optional<std::string> QueryNetworkName(char letter) {
  const WNetGetConnectionWFn query = NetworkConnectionQuery();
  if (query == nullptr) return std::nullopt;
  const wchar_t local[] = {static_cast<wchar_t>(letter), L':', L'\0'};
  wchar_t remote[kNameBuffer] = {};
  DWORD length = kNameBuffer;
  if (query(local, remote, &length) != NO_ERROR) return std::nullopt;
  return UpperCaseText(remote);
}

const wchar_t* GlyphName(DriveGlyph glyph) {
  switch (glyph) {
    case DriveGlyph::Floppy: return L"FLOPPY";
    case DriveGlyph::Hard: return L"HARD";
    case DriveGlyph::Network: return L"NETWORK";
    case DriveGlyph::CdRom: return L"CDROM";
    case DriveGlyph::Ram: return L"RAM";
  }
  return L"HARD";
}

char UpperLetter(char letter) { return UpperCaseAscii(std::string(1, letter))[0]; }

}  // namespace

TDriveComboBox::TDriveComboBox(const DriveComboBoxArgs& args) : args_(args) {
  wchar_t current[MAX_PATH + 1] = {};
  GetCurrentDirectoryW(MAX_PATH + 1, current);
  // A network current directory (\\server\share) has no drive letter.
  if (current[0] != L'\0' && current[1] == L':') drive_ = UpperLetter(static_cast<char>(current[0]));
  // The window's height includes the drop-down list; the closed box is the selection field.
  hwnd_ = CreateWindowExW(0, L"COMBOBOX", L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST |
                              CBS_OWNERDRAWFIXED,
                          args_.left, args_.top, args_.width, args_.height + 200, args_.parent,
                          nullptr, GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  comboProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TDriveComboBox::SubclassProc)));
  if (args_.font != nullptr) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(args_.font), FALSE);
  // Items: the larger of the font's cell height and the 11-pixel drive glyphs.
  int cellHeight = 13;
  HDC dc = GetDC(hwnd_);
  HGDIOBJ previous = SelectObject(dc, args_.font != nullptr ? args_.font : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics{};
  if (GetTextMetricsW(dc, &metrics)) cellHeight = metrics.tmHeight;
  SelectObject(dc, previous);
  ReleaseDC(hwnd_, dc);
  SendMessageW(hwnd_, CB_SETITEMHEIGHT, 0, std::max(cellHeight, 11));
  SendMessageW(hwnd_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), args_.height - 6);
  BuildItems();
}

TDriveComboBox::~TDriveComboBox() {
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(comboProc_));
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void TDriveComboBox::SetDirList(TDirectoryListBox* list) {
  dirList_ = list;
  if (list != nullptr) list->SetDriveBox(this);
}

int TDriveComboBox::SelectedIndex() const {
  return static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
}

void TDriveComboBox::BuildItems() {
  SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
  DriveQueries queries{QueryDriveType, QueryVolumeLabel, QueryNetworkName};
  items_ = BuildDriveItems(GetLogicalDrives(), queries);
  if (!args_.upperCase) {
    for (DriveItem& item : items_) item.text = LowerCaseAscii(item.text);
  }
  // No CBS_HASSTRINGS: each entry's data is its index into items_.
  for (size_t i = 0; i < items_.size(); ++i) SendMessageW(hwnd_, CB_ADDSTRING, 0, static_cast<LPARAM>(i));
  SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(drive_ ? FindDriveItem(items_, drive_) : -1), 0);
  Change();
}

void TDriveComboBox::SetDrive(char letter) {
  letter = UpperLetter(letter);
  if (SelectedIndex() >= 0 && letter == drive_) return;
  drive_ = letter;
  SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(letter ? FindDriveItem(items_, letter) : -1), 0);
  // The folder list follows first, so the change report finds it on the new drive. When the
  // drive cannot be entered the error leaves here: no change report.
  if (dirList_ != nullptr && letter != '\0') dirList_->DriveChanged(letter);
  Change();
}

void TDriveComboBox::Pick(int index) {
  if (index < 0 || static_cast<size_t>(index) >= items_.size()) return;
  SetDrive(items_[static_cast<size_t>(index)].text[0]);
  Change();
}

// Keys and the wheel that move the selection of the closed box pick the drive they move to
// (with the list open they only move through it).
LRESULT TDriveComboBox::WithPickWhileClosed(UINT message, WPARAM wParam, LPARAM lParam) {
  const bool closed = SendMessageW(hwnd_, CB_GETDROPPEDSTATE, 0, 0) == FALSE;
  const int before = SelectedIndex();
  const LRESULT result = CallWindowProcW(comboProc_, hwnd_, message, wParam, lParam);
  const int after = SelectedIndex();
  if (closed && SendMessageW(hwnd_, CB_GETDROPPEDSTATE, 0, 0) == FALSE && after != before &&
      after >= 0) {
    listOpen_ = false;  // a close-up notification of that move is no second pick
    Application::Guard([&] { Pick(after); });
  }
  return result;
}

void TDriveComboBox::ShowChosenDrive() {
  const int chosen = drive_ ? FindDriveItem(items_, drive_) : -1;
  if (SelectedIndex() != chosen) SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
}

void TDriveComboBox::Change() {
  if (OnChange) OnChange();
}

void TDriveComboBox::DrawItem(const DRAWITEMSTRUCT& draw) {
  HDC dc = draw.hDC;
  RECT rect = draw.rcItem;
  const bool selected = (draw.itemState & ODS_SELECTED) != 0;
  FillRect(dc, &rect, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (draw.itemID == static_cast<UINT>(-1) || draw.itemID >= items_.size()) return;
  const DriveItem& item = items_[draw.itemID];
  const Glyph& glyph = LoadGlyph(GlyphName(item.glyph));
  DrawGlyph(dc, glyph, rect.left + 2, (rect.top + rect.bottom - glyph.height) / 2);
  const int glyphWidth = glyph.bitmap != nullptr ? glyph.width : 16;
  RECT textRect = rect;
  textRect.left += glyphWidth + 6;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  const std::wstring text = DisplayWide(item.text);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
  if ((draw.itemState & ODS_FOCUS) != 0 && (draw.itemState & ODS_NOFOCUSRECT) == 0) DrawFocusRect(dc, &rect);
}

LRESULT CALLBACK TDriveComboBox::SubclassProc(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  auto* box = reinterpret_cast<TDriveComboBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (box == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return box->HandleMessage(message, wParam, lParam);
}

LRESULT TDriveComboBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kReflectedDrawItem:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case kReflectedCommand:
      // A selection change is no pick by itself: moving through the open drop-down changes the
      // selection at every step, and entering each drive on the way would show "I/O error 21."
      // for every empty CD or floppy drive passed. The list reports a pick made in it (a click
      // on an item) with CBN_SELENDOK; one that closes without a pick with CBN_SELENDCANCEL.
      switch (HIWORD(wParam)) {
        case CBN_DROPDOWN:
          listOpen_ = true;
          break;
        case CBN_SELENDOK:
          if (listOpen_) {
            listOpen_ = false;
            const int index = SelectedIndex();
            Application::Guard([&] { Pick(index); });
          }
          break;
        case CBN_SELENDCANCEL:
          // Closed without a pick: the box shows the drive that is chosen, not the last one
          // passed in the list.
          listOpen_ = false;
          ShowChosenDrive();
          break;
        default:
          break;
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_TAB) {
        FocusNextTabStop(hwnd_);
        return 0;
      }
      // Enter picks the selected item, in the open list or in the closed box; the page then sees
      // the typed Enter (its own key). Esc closes the open list without a pick. The combo box's
      // own handling of both keys does not run: the page decides what they do beyond that.
      if (wParam == VK_RETURN || (wParam == VK_ESCAPE && OnKeyPress)) {
        const int index = SelectedIndex();
        listOpen_ = false;
        if (SendMessageW(hwnd_, CB_GETDROPPEDSTATE, 0, 0)) SendMessageW(hwnd_, CB_SHOWDROPDOWN, FALSE, 0);
        if (wParam == VK_RETURN) {
          Application::Guard([&] { Pick(index); });
        } else {
          ShowChosenDrive();
        }
        return 0;
      }
      return WithPickWhileClosed(message, wParam, lParam);
    case WM_CHAR:
      if (OnKeyPress) {
        const auto key = static_cast<wchar_t>(wParam);
        Application::Guard([&] { OnKeyPress(key); });
        if (key == 13 || key == 27 || key == 9) return 0;
      }
      // A letter selects the drive it names, which in the closed box is a pick.
      return WithPickWhileClosed(message, wParam, lParam);
    case WM_MOUSEWHEEL:
      return WithPickWhileClosed(message, wParam, lParam);
    default:
      break;
  }
  return CallWindowProcW(comboProc_, hwnd_, message, wParam, lParam);
}

}  // namespace installer
