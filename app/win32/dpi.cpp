#include "app/win32/dpi.h"

namespace orven::win32 {
namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

// Looked up at run time: a program that imported it would not start before Windows 10.
GetDpiForWindowFunction get_dpi_for_window() {
  static const GetDpiForWindowFunction function = [] {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const FARPROC found = user32 ? GetProcAddress(user32, "GetDpiForWindow") : nullptr;
    // Through the generic function type, which the compiler lets any function type become.
    return reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(found));
  }();
  return function;
}

}  // namespace

int window_dpi(HWND window) {
  if (const GetDpiForWindowFunction function = get_dpi_for_window()) {
    if (const UINT dpi = function(window); dpi > 0) return static_cast<int>(dpi);
  }
  int dpi = 0;
  if (const HDC screen = GetDC(nullptr)) {
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : kBaseDpi;
}

}  // namespace orven::win32
