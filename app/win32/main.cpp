// orven.exe: registers the class, creates and shows the main window, runs the message loop.
// Files and folders named on the command line ("Open with", a drop on the program's icon)
// run the selected mode, training, once the window is shown.
#include <windows.h>

#include <filesystem>
#include <vector>

#include "app/win32/main_window.h"
#include "base/platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int show_command) {
  using namespace orven::win32;
  if (!register_main_class(instance)) return 0;
  const HWND window = create_main_window(instance);
  // No explicit update: the first paint arrives through the message loop.
  ShowWindow(window, show_command);
  std::vector<std::filesystem::path> paths;
  for (const orven::platform::Argument& argument : orven::platform::program_arguments(0, nullptr)) {
    paths.push_back(argument.path);
  }
  run_on_arguments(window, std::move(paths));
  return run_message_loop(window);
}
