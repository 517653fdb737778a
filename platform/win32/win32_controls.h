// How each kind of declared control becomes a Win32 control: its window
// class, its styles, how its text and its item list are read and written.
// Every kind is described here once; the forms code asks, never decides.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "core/text.h"
#include "forms/forms.h"

namespace pyx::win32 {

struct ControlStyle {
  const wchar_t* windowClass;  // nullptr: the kind has no window of its own
  DWORD style;
  DWORD exStyle;
};

// `isDefault`: the declared default button.
ControlStyle controlStyle(ControlKind kind, bool isDefault);

bool hasItemList(ControlKind kind);
bool takesTabStop(ControlKind kind);

Text windowText(HWND window);

// The text a control shows: a list box's is its selected item.
Text controlText(ControlKind kind, HWND control);
// A list box takes new text by selecting the item that reads so.
void setControlText(ControlKind kind, HWND control, const Text& text);

// Makes the list hold `items`, with no selection; a combo box's edit field is
// emptied too. `shown` holds a hash of each item the list shows, and is kept
// so.
void replaceItems(ControlKind kind, HWND control, std::vector<std::uint64_t>& shown,
                  const std::vector<TextView>& items);
int selectedIndex(ControlKind kind, HWND control);

// Puts the control at its declared rectangle (pixels, in the form's client
// area), given the room its text needs in the font selected into `dc`.
void placeControl(ControlKind kind, HWND control, const RECT& declared, HDC dc, UINT dpi);

}  // namespace pyx::win32
