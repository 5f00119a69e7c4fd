// The platform layer on Linux and other POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "base/platform.h"

namespace orven::platform {
namespace {

int descriptor(std::intptr_t handle) {
  return static_cast<int>(handle);
}

}  // namespace

InputFile::InputFile(const std::filesystem::path& file) {
  // Non-blocking, so that a pipe without a writer opens at once and can be refused.
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    status_ = S_ISREG(info.st_mode) ? Status::unreadable : Status::not_regular;
    ::close(fd);
    return;
  }
  handle_ = fd;
  size_ = static_cast<std::uint64_t>(info.st_size);
  status_ = Status::open;
}

InputFile::~InputFile() {
  if (handle_ >= 0) ::close(descriptor(handle_));
}

std::size_t InputFile::read(char* buffer, std::size_t size) {
  if (status_ != Status::open) return 0;
  for (;;) {
    const ssize_t got = ::read(descriptor(handle_), buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) {
      status_ = Status::unreadable;
      return 0;
    }
  }
}

bool is_link(const std::filesystem::directory_entry& entry) {
  std::error_code ignored;  // a name that is gone by now is no link to follow
  return entry.is_symlink(ignored);
}

}  // namespace orven::platform
