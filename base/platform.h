// What the program needs from the operating system, behind one small interface that the core
// and every front use; platform_posix.cpp serves Linux and platform_windows.cpp serves
// Windows. Only standard types cross it, so the core stays free of system headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace orven::platform {

// An input file open for reading. Opening never blocks and never leaves a device, a pipe or
// a folder open: the open handle itself is checked, so nothing can be swapped in between a
// check and the open.
class InputFile {
 public:
  enum class Status {
    open,
    unreadable,   // missing, no permission, or a read failed
    not_regular,  // a folder, device or pipe
  };

  explicit InputFile(const std::filesystem::path& file);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  Status status() const { return status_; }
  // The size when it was opened.
  std::uint64_t size() const { return size_; }
  // Reads up to `size` bytes; 0 at the end. A failed read returns 0 and sets unreadable.
  std::size_t read(char* buffer, std::size_t size);

 private:
  Status status_ = Status::unreadable;
  std::uint64_t size_ = 0;
  std::intptr_t handle_ = -1;  // a descriptor (POSIX) or a HANDLE (Windows)
};

// True when a name met in a folder is a link (on Windows any reparse point, a junction as
// well as a symbolic link): a walk over folders never follows one into a folder, so it
// cannot go round in a loop.
bool is_link(const std::filesystem::directory_entry& entry);

}  // namespace orven::platform
