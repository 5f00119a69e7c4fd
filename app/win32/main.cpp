// orven.exe: registers the class, creates and shows the main window, runs the message loop.
#include <windows.h>

#include "app/win32/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int show_command) {
  using namespace orven::win32;
  if (!register_main_class(instance)) return 0;
  const HWND window = create_main_window(instance);
  // No explicit update: the first paint arrives through the message loop.
  ShowWindow(window, show_command);
  return run_message_loop();
}
