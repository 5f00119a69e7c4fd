// orven.exe: registers the class, creates and shows the main window, runs the message loop.
// Files and folders named on the command line ("Open with", a drop on the program's icon)
// run the selected mode, training, once the window is shown. --help (or /?) and --version
// print to standard output and end the program without a window.
#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/display_text.h"
#include "app/win32/main_window.h"
#include "base/platform.h"
#include "texts/messages.h"
#include "texts/product.h"

namespace {

// A program of the window subsystem has no standard output of its own: it writes where it
// was redirected to, or else to the console of the command prompt that started it.
void find_standard_output() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if ((out != nullptr && out != INVALID_HANDLE_VALUE) || !AttachConsole(ATTACH_PARENT_PROCESS)) {
    return;
  }
  const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
  if (console != INVALID_HANDLE_VALUE) SetStdHandle(STD_OUTPUT_HANDLE, console);
}

// The answer to --help or --version (an argument after "--" is a file); -1 when neither
// was asked for.
int answer_option(const std::vector<orven::platform::Argument>& arguments) {
  for (const orven::platform::Argument& argument : arguments) {
    const std::string_view a = argument.text;
    if (a == "--") break;
    std::string_view text;
    if (a == "--help" || a == "-h" || a == "/?") text = orven::texts::messages::kWindowHelp;
    if (a == "--version") text = orven::texts::kVersionLine;
    if (text.empty()) continue;
    find_standard_output();
    const std::string line = orven::app::to_utf8(text) + (text.ends_with('\n') ? "" : "\n");
    return orven::platform::write_stdout(line) ? 0 : 1;
  }
  return -1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int show_command) {
  using namespace orven::win32;
  const std::vector<orven::platform::Argument> arguments =
      orven::platform::program_arguments(0, nullptr);
  if (const int status = answer_option(arguments); status >= 0) return status;
  if (!register_main_class(instance)) return 0;
  const HWND window = create_main_window(instance);
  // No explicit update: the first paint arrives through the message loop.
  ShowWindow(window, show_command);
  // As on Linux, a first "--" only says that file names follow.
  std::vector<std::filesystem::path> paths;
  for (const orven::platform::Argument& argument : arguments) {
    if (paths.empty() && &argument == &arguments.front() && argument.text == "--") continue;
    paths.push_back(argument.path);
  }
  run_on_arguments(window, std::move(paths));
  return run_message_loop(window);
}
