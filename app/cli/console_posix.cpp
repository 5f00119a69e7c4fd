// orven-cli on Linux and other POSIX systems: arguments and file names are bytes, the
// terminal takes UTF-8, and xdg-open hands a file to the desktop.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "app/cli/console.h"

namespace orven::cli {

std::vector<Argument> program_arguments(int argc, char** argv) {
  std::vector<Argument> args;
  for (int i = 1; i < argc; ++i) args.push_back({argv[i], std::filesystem::path(argv[i])});
  return args;
}

void write_stdout(std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

void write_stderr(std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}

void open_with_desktop(const std::filesystem::path& file) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
  const std::string target = ec ? file.string() : absolute.string();
  // Fork twice so that xdg-open belongs to nobody here: we neither wait for it nor leave
  // a zombie behind.
  const pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    setsid();
    if (fork() == 0) {
      const int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
      }
      execlp("xdg-open", "xdg-open", target.c_str(), static_cast<char*>(nullptr));
    }
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
}

}  // namespace orven::cli
