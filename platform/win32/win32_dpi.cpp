#include "platform/win32/win32_dpi.h"

namespace pyx::win32 {

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

template <class Fn>
Fn user32Function(const char* name) {
  static HMODULE user32 = GetModuleHandleW(L"user32.dll");
  // Through void(*)() so that the compiler accepts the change of signature.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

struct DpiFunctions {
  GetDpiForWindowFn getDpiForWindow = user32Function<GetDpiForWindowFn>("GetDpiForWindow");
  GetSystemMetricsForDpiFn getSystemMetricsForDpi =
      user32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  AdjustWindowRectExForDpiFn adjustWindowRectExForDpi =
      user32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  SystemParametersInfoForDpiFn systemParametersInfoForDpi =
      user32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
};

const DpiFunctions& functions() {
  static const DpiFunctions loaded;
  return loaded;
}

}  // namespace

UINT systemDpi() {
  static const UINT dpi = [] {
    HDC screen = GetDC(nullptr);
    int value = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return value > 0 ? static_cast<UINT>(value) : 96u;
  }();
  return dpi;
}

std::vector<Monitor> monitors() {
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  struct Found {
    GetDpiForMonitorFn getDpiForMonitor;
    std::vector<Monitor> monitors;
  } found{nullptr, {}};
  // Windows 8.1 and later tell each monitor's DPI; before, all share one.
  static const HMODULE shcore = LoadLibraryW(L"shcore.dll");
  if (shcore)
    found.getDpiForMonitor = reinterpret_cast<GetDpiForMonitorFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(shcore, "GetDpiForMonitor")));
  auto each = [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
    auto& found = *reinterpret_cast<Found*>(data);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) return TRUE;
    UINT dpi = 0, unused = 0;
    constexpr int kEffectiveDpi = 0;
    if (!found.getDpiForMonitor || FAILED(found.getDpiForMonitor(monitor, kEffectiveDpi, &dpi, &unused)) ||
        !isScreenDpi(dpi))
      dpi = systemDpi();
    const RECT& area = info.rcMonitor;
    const RECT& work = info.rcWork;
    found.monitors.push_back({{area.left, area.top, area.right, area.bottom},
                              {work.left, work.top, work.right, work.bottom},
                              dpi});
    return TRUE;
  };
  EnumDisplayMonitors(nullptr, nullptr, each, reinterpret_cast<LPARAM>(&found));
  return found.monitors;
}

UINT windowDpi(HWND window) {
  if (functions().getDpiForWindow && window) {
    UINT dpi = functions().getDpiForWindow(window);
    if (isScreenDpi(dpi)) return dpi;
  }
  return systemDpi();
}

int systemMetric(int index, UINT dpi) {
  if (functions().getSystemMetricsForDpi) return functions().getSystemMetricsForDpi(index, dpi);
  return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(systemDpi()));
}

void adjustWindowRect(RECT& rect, DWORD style, DWORD exStyle, UINT dpi) {
  if (functions().adjustWindowRectExForDpi &&
      functions().adjustWindowRectExForDpi(&rect, style, FALSE, exStyle, dpi))
    return;
  AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

LOGFONTW messageFont(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (functions().systemParametersInfoForDpi &&
      functions().systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
    return metrics.lfMessageFont;
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    metrics.lfMessageFont.lfHeight =
        MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi()));
    return metrics.lfMessageFont;
  }
  LOGFONTW fallback{};
  fallback.lfHeight = -MulDiv(9, static_cast<int>(dpi), 72);
  fallback.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(fallback.lfFaceName, L"MS UI Gothic", LF_FACESIZE);
  return fallback;
}

}  // namespace pyx::win32
