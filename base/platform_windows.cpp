// The platform layer on Windows: wide functions throughout, so any file name works whatever
// the system's code page.
#include <windows.h>

#include "base/platform.h"

namespace orven::platform {
namespace {

HANDLE handle_of(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

InputFile::InputFile(const std::filesystem::path& file) {
  // Others may go on reading, writing and even deleting it meanwhile, as with the C library.
  const HANDLE h = CreateFileW(file.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    // A folder cannot be opened this way; say what it is rather than that it is unreadable.
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      status_ = Status::not_regular;
    }
    return;
  }
  LARGE_INTEGER size{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) {
    status_ = Status::not_regular;
    CloseHandle(h);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  size_ = static_cast<std::uint64_t>(size.QuadPart);
  status_ = Status::open;
}

InputFile::~InputFile() {
  if (handle_ != -1) CloseHandle(handle_of(handle_));
}

std::size_t InputFile::read(char* buffer, std::size_t size) {
  if (status_ != Status::open) return 0;
  // ReadFile takes at most 4 GiB - 1 at a time.
  const DWORD want = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(size);
  DWORD got = 0;
  if (!ReadFile(handle_of(handle_), buffer, want, &got, nullptr)) {
    status_ = Status::unreadable;
    return 0;
  }
  return got;
}

// The C++ library here does not tell links from what they point to.
bool is_link(const std::filesystem::directory_entry& entry) {
  const DWORD attributes = GetFileAttributesW(entry.path().c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace orven::platform
