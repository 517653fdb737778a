// Per-monitor DPI: the "ForDpi" functions of Windows 10 when the system has
// them, the system-wide values otherwise, so that the program still starts on
// older Windows.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/placement.h"

namespace pyx::win32 {

UINT systemDpi();
UINT windowDpi(HWND window);
// Whether a screen can have this DPI. Windows scales from 100 % to 500 %;
// with room on both sides, what lies outside (0, thousands) came from a
// message no system sent.
inline bool isScreenDpi(UINT dpi) {
  return dpi >= USER_DEFAULT_SCREEN_DPI / 2 && dpi <= USER_DEFAULT_SCREEN_DPI * 10;
}
int systemMetric(int index, UINT dpi);
// The monitors of the desktop, with their work areas and DPI.
std::vector<Monitor> monitors();
// The outer rectangle of a window whose client area is `rect`.
void adjustWindowRect(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);
// The font the system uses for message boxes, sized for `dpi`.
LOGFONTW messageFont(UINT dpi);

// Twips (1/1440 inch) to pixels and back at `dpi`.
inline int twipsToPixels(int twips, UINT dpi) {
  return MulDiv(twips, static_cast<int>(dpi), 1440);
}
inline int pixelsToTwips(int pixels, UINT dpi) {
  return MulDiv(pixels, 1440, static_cast<int>(dpi));
}

}  // namespace pyx::win32
