// Where the launcher goes when it is called up: onto the monitor the user is
// working on, the one under the pointer. Plain geometry in pixels, so that
// the simulated desktop and Windows place the window alike.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

namespace pyx {

struct PixelRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::int32_t width() const { return right - left; }
  std::int32_t height() const { return bottom - top; }
  bool operator==(const PixelRect&) const = default;
};

struct Monitor {
  PixelRect area;      // the whole screen of the monitor
  PixelRect workArea;  // without the task bar
  std::uint32_t dpi = 96;
};

// The window's rectangle once it is called up with the pointer at (x, y).
// Unchanged while the pointer is on the window's own monitor (the one it
// overlaps most), or on none. Otherwise the window keeps its place relative
// to the work area's corner, in physical distance, on the pointer's monitor;
// its size follows that monitor's DPI; and it is moved as little as it takes
// to lie wholly inside that work area (its top-left corner inside, when it is
// the larger).
inline PixelRect placeOnPointerMonitor(PixelRect window, std::int32_t x, std::int32_t y,
                                       std::span<const Monitor> monitors) {
  auto overlap = [&](const PixelRect& r) -> std::int64_t {
    const std::int64_t w = std::min(window.right, r.right) - std::max(window.left, r.left);
    const std::int64_t h = std::min(window.bottom, r.bottom) - std::max(window.top, r.top);
    return w > 0 && h > 0 ? w * h : 0;
  };
  const Monitor* own = nullptr;
  const Monitor* pointed = nullptr;
  for (const Monitor& monitor : monitors) {
    if (overlap(monitor.area) > (own ? overlap(own->area) : 0)) own = &monitor;
    if (!pointed && x >= monitor.area.left && x < monitor.area.right && y >= monitor.area.top &&
        y < monitor.area.bottom)
      pointed = &monitor;
  }
  if (!pointed || pointed == own) return window;
  const PixelRect from = own ? own->workArea : pointed->workArea;
  const std::uint32_t fromDpi = own ? own->dpi : pointed->dpi;
  auto scaled = [&](std::int32_t length) {
    return static_cast<std::int32_t>(static_cast<std::int64_t>(length) * pointed->dpi / fromDpi);
  };
  const PixelRect& to = pointed->workArea;
  const std::int32_t width = scaled(window.width()), height = scaled(window.height());
  auto fit = [](std::int32_t wanted, std::int32_t low, std::int32_t high, std::int32_t length) {
    return std::max(low, std::min(wanted, high - length));
  };
  const std::int32_t left = fit(to.left + scaled(window.left - from.left), to.left, to.right, width);
  const std::int32_t top = fit(to.top + scaled(window.top - from.top), to.top, to.bottom, height);
  return {left, top, left + width, top + height};
}

}  // namespace pyx
