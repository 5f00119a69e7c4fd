// What orven-cli needs from the system it runs on: its arguments, the terminal, and handing
// a file to the desktop. console_posix.cpp serves Linux; console_win32.cpp serves Windows
// (wide arguments, WriteConsoleW on a console and UTF-8 when redirected, ShellExecuteW).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orven::cli {

struct Argument {
  std::string text;            // UTF-8, for comparing with the options and for messages
  std::filesystem::path path;  // the same argument as a file name, exactly as given
};

// The arguments after the program name.
std::vector<Argument> program_arguments(int argc, char** argv);

// UTF-8 text to standard output / standard error, written as it comes.
void write_stdout(std::string_view utf8);
void write_stderr(std::string_view utf8);

// Opens the file with the desktop's default application, without waiting; failures are
// ignored.
void open_with_desktop(const std::filesystem::path& file);

}  // namespace orven::cli
