// The dots per inch a window is drawn at, and the window's sizes scaled to it. The layout
// (app/window_layout.h) is given at 96 DPI, 100%; under per-monitor awareness every size is
// scaled by the DPI of the window's monitor, so the window keeps its look at any scale.
#pragma once

#include <windows.h>

#include "app/window_layout.h"

namespace orven::win32 {

inline constexpr int kBaseDpi = 96;

// A size or position at 96 DPI scaled to dpi, rounded to the nearest pixel (halves away
// from zero), as MulDiv rounds; at 96 DPI every value stays as it is.
constexpr int scaled(int value, int dpi) {
  const long long product = static_cast<long long>(value) * dpi;
  const long long half = product < 0 ? -kBaseDpi / 2 : kBaseDpi / 2;
  return static_cast<int>((product + half) / kBaseDpi);
}

// A control's rectangle (x, y, width, height in client coordinates) at dpi.
constexpr app::layout::Control scaled(const app::layout::Control& control, int dpi) {
  return {control.id, scaled(control.x, dpi), scaled(control.y, dpi), scaled(control.width, dpi),
          scaled(control.height, dpi)};
}

// The DPI of the window's monitor where the system tells it per window (Windows 10 1607 on),
// otherwise the system's DPI; 96 when neither can be read.
int window_dpi(HWND window);

}  // namespace orven::win32
