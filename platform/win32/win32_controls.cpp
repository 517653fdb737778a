#include "platform/win32/win32_controls.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_text.h"

namespace pyx::win32 {

namespace {

// The messages of a control that holds a list of items.
struct ListMessages {
  UINT reset, add, getCurSel, setCurSel, getText, getTextLength, findExact, insert, remove, initStorage;
};

constexpr ListMessages kComboMessages{CB_RESETCONTENT, CB_ADDSTRING,    CB_GETCURSEL,       CB_SETCURSEL,
                                      CB_GETLBTEXT,    CB_GETLBTEXTLEN, CB_FINDSTRINGEXACT, CB_INSERTSTRING,
                                      CB_DELETESTRING, CB_INITSTORAGE};
constexpr ListMessages kListMessages{LB_RESETCONTENT, LB_ADDSTRING,  LB_GETCURSEL,       LB_SETCURSEL,
                                     LB_GETTEXT,      LB_GETTEXTLEN, LB_FINDSTRINGEXACT, LB_INSERTSTRING,
                                     LB_DELETESTRING, LB_INITSTORAGE};

// An item as the list remembers it: 64 bits of its text, enough to tell a
// changed list from the shown one without keeping a copy of every item.
std::uint64_t itemHash(TextView item) {
  static_assert(sizeof(std::size_t) == sizeof(std::uint64_t), "a 64-bit hash of the text");
  return std::hash<TextView>{}(item);
}

bool sameItems(const std::vector<std::uint64_t>& shown, const std::vector<TextView>& items) {
  return std::equal(shown.begin(), shown.end(), items.begin(), items.end(),
                    [](std::uint64_t hash, TextView item) { return hash == itemHash(item); });
}

// Where `items` is the shown list with one item moved to the top (what a
// launch does to the list), the item's old place; otherwise 0.
std::size_t movedToTop(const std::vector<std::uint64_t>& shown, const std::vector<TextView>& items) {
  if (shown.size() != items.size() || items.empty()) return 0;
  const std::uint64_t top = itemHash(items[0]);
  std::size_t from = 1;
  while (from < shown.size() && shown[from] != top) ++from;
  if (from == shown.size()) return 0;
  for (std::size_t i = 0; i < from; ++i)
    if (itemHash(items[i + 1]) != shown[i]) return 0;
  for (std::size_t i = from + 1; i < items.size(); ++i)
    if (itemHash(items[i]) != shown[i]) return 0;
  return from;
}

const ListMessages* listMessages(ControlKind kind) {
  if (kind == ControlKind::ComboBox) return &kComboMessages;
  if (kind == ControlKind::ListBox) return &kListMessages;
  return nullptr;
}

}  // namespace

ControlStyle controlStyle(ControlKind kind, bool isDefault) {
  switch (kind) {
    case ControlKind::Label:
      return {L"STATIC", SS_LEFTNOWORDWRAP, 0};  // sized to its text; never wrapped
    case ControlKind::TextBox:
      return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::ComboBox:
      // No sort: the list shows the favourites in the file's order, most
      // recently used first.
      return {L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL, 0};
    case ControlKind::ListBox:
      // The declared height, not rounded to whole items, so that the window
      // looks as laid out.
      return {L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::Button:
      return {L"BUTTON", static_cast<DWORD>(isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0};
    case ControlKind::OptionButton:
      return {L"BUTTON", BS_AUTORADIOBUTTON, 0};
    case ControlKind::Frame:
      return {L"BUTTON", BS_GROUPBOX, 0};
    case ControlKind::Menu:
    case ControlKind::FileDialog:
      break;
  }
  return {nullptr, 0, 0};
}

bool hasItemList(ControlKind kind) {
  return listMessages(kind) != nullptr;
}

bool takesTabStop(ControlKind kind) {
  return kind != ControlKind::Label && kind != ControlKind::Frame && controlStyle(kind, false).windowClass;
}

Text windowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  if (length <= 0) return Text();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  int copied = GetWindowTextW(window, buffer.data(), length + 1);
  return fromWide(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

Text controlText(ControlKind kind, HWND control) {
  if (kind != ControlKind::ListBox) return windowText(control);
  const ListMessages& list = kListMessages;
  LRESULT index = SendMessageW(control, list.getCurSel, 0, 0);
  if (index < 0) return Text();
  LRESULT length = SendMessageW(control, list.getTextLength, static_cast<WPARAM>(index), 0);
  if (length <= 0) return Text();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  LRESULT copied = SendMessageW(control, list.getText, static_cast<WPARAM>(index),
                                reinterpret_cast<LPARAM>(buffer.data()));
  return fromWide(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

void setControlText(ControlKind kind, HWND control, const Text& text) {
  if (kind != ControlKind::ListBox) {
    SetWindowTextW(control, wide(text));
    return;
  }
  const ListMessages& list = kListMessages;
  LRESULT index =
      SendMessageW(control, list.findExact, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(wide(text)));
  SendMessageW(control, list.setCurSel, static_cast<WPARAM>(index), 0);
}

void replaceItems(ControlKind kind, HWND control, std::vector<std::uint64_t>& shown,
                  const std::vector<TextView>& items) {
  const ListMessages* list = listMessages(kind);
  if (!list) return;
  SendMessageW(control, list->setCurSel, static_cast<WPARAM>(-1), 0);
  // A drop-down combo box keeps its edit field apart from the list.
  if (kind == ControlKind::ComboBox) SetWindowTextW(control, L"");
  if (sameItems(shown, items)) return;
  // Re-adding tens of thousands of items is the slowest thing the launcher
  // does; after a launch only one of them has moved.
  if (std::size_t from = movedToTop(shown, items)) {
    SendMessageW(control, list->remove, from, 0);
    SendMessageW(control, list->insert, 0, reinterpret_cast<LPARAM>(wide(Text(items[0]))));
    std::rotate(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(from),
                shown.begin() + static_cast<std::ptrdiff_t>(from) + 1);
    return;
  }
  SendMessageW(control, WM_SETREDRAW, FALSE, 0);
  SendMessageW(control, list->reset, 0, 0);
  std::size_t characters = 0;
  for (TextView item : items) characters += item.size() + 1;
  SendMessageW(control, list->initStorage, items.size(), characters * sizeof(wchar_t));
  shown.clear();
  shown.reserve(items.size());
  Text item;  // each one NUL-terminated, as the list takes it
  for (TextView view : items) {
    item.assign(view);
    SendMessageW(control, list->add, 0, reinterpret_cast<LPARAM>(wide(item)));
    shown.push_back(itemHash(view));
  }
  SendMessageW(control, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(control, nullptr, TRUE);
}

int selectedIndex(ControlKind kind, HWND control) {
  const ListMessages* list = listMessages(kind);
  if (!list) return -1;
  LRESULT index = SendMessageW(control, list->getCurSel, 0, 0);
  return index < 0 ? -1 : static_cast<int>(index);
}

namespace {

constexpr int kDropDownItems = 12;

SIZE textExtent(HDC dc, HWND control) {
  Text text = windowText(control);
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, wide(text), -1, &r, DT_CALCRECT | DT_SINGLELINE);
  return {r.right - r.left, r.bottom - r.top};
}

}  // namespace

void placeControl(ControlKind kind, HWND control, const RECT& declared, HDC dc, UINT dpi) {
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int textHeight = metrics.tmHeight;
  const int onePixel = MulDiv(1, static_cast<int>(dpi), 96);
  int x = declared.left, y = declared.top;
  int width = declared.right - declared.left, height = declared.bottom - declared.top;

  // Rectangles laid out for an older, smaller system font would cut the text
  // of today's: captions get at least the room their text needs, growing
  // about their middle so that rows stay aligned.
  int minWidth = 0, minHeight = 0;
  switch (kind) {
    case ControlKind::Label:
      minWidth = textExtent(dc, control).cx + onePixel;
      minHeight = textHeight;
      break;
    case ControlKind::OptionButton: {
      int box = systemMetric(SM_CXMENUCHECK, dpi);
      minWidth = box + 6 * onePixel + textExtent(dc, control).cx;
      minHeight = std::max(textHeight, box);
      break;
    }
    case ControlKind::TextBox:
      minHeight = textHeight + 2 * systemMetric(SM_CYEDGE, dpi) + 2 * onePixel;
      break;
    case ControlKind::ComboBox: {
      // The edit field's height follows the font; centre it on the declared
      // row and give the list room for a screenful of names.
      const int list = kDropDownItems * static_cast<int>(SendMessageW(control, CB_GETITEMHEIGHT, 0, 0)) + 2;
      SetWindowPos(control, nullptr, x, y, width, height + list, SWP_NOZORDER | SWP_NOACTIVATE);
      RECT field{};
      GetWindowRect(control, &field);
      const int fieldHeight = field.bottom - field.top;
      SetWindowPos(control, nullptr, x, y + (height - fieldHeight) / 2, width, fieldHeight + list,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      SendMessageW(control, CB_SETMINVISIBLE, kDropDownItems, 0);
      return;
    }
    case ControlKind::ListBox:
    case ControlKind::Button:
    case ControlKind::Frame:
    case ControlKind::Menu:
    case ControlKind::FileDialog:
      break;
  }
  width = std::max(width, minWidth);
  if (height < minHeight) {
    y -= (minHeight - height) / 2;
    height = minHeight;
  }
  SetWindowPos(control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace pyx::win32
