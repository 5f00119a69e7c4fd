// The main window of orven.exe: the window class "vrx27", the fixed-size window with its
// two buttons and mode list, the painting of the panel, introduction and digit columns, and
// the command handler that performs a run; runs on dropped files and on the command line's;
// the keyboard of a dialog, with the focus on the mode list when the window opens; the
// introduction as static texts a screen reader reads, one per paragraph, the question naming
// the mode list; the layout scaled to the DPI of the window's monitor. The window owns the
// three control fonts and the question's; every font, pen and brush of a paint lives only
// within that paint.
#pragma once

#include <windows.h>

#include <filesystem>
#include <vector>

namespace orven::win32 {

inline constexpr wchar_t kClassName[] = L"vrx27";

// Registers the window class; false when the system refuses it.
bool register_main_class(HINSTANCE instance);

// Creates the main window (not yet shown), its controls with their fonts, and the mode
// list's items with item 0 selected; returns the main window.
HWND create_main_window(HINSTANCE instance);

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Runs the selected mode on paths (orven.exe FILE...) once the message loop has started.
void run_on_arguments(HWND window, std::vector<std::filesystem::path> paths);

// Gets, translates and dispatches messages until the quit message, with the keyboard of a
// dialog for window (Tab, Shift+Tab, Return, Escape); returns the quit message's code.
int run_message_loop(HWND window);

}  // namespace orven::win32
