// The platform layer on Windows: wide functions throughout, so that any file name works
// whatever the system's code page.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <random>

#include "base/failure_cause.h"
#include "base/platform.h"

namespace orven::platform {
namespace {

// The cause behind a Windows error code.
FailureCause cause_of(DWORD code) {
  switch (code) {
    case ERROR_SUCCESS:
      return {};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return {Cause::no_such_file};
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return {Cause::no_permission};
    case ERROR_DIRECTORY:
      return {Cause::is_folder};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return {Cause::no_space};
    case ERROR_WRITE_PROTECT:
      return {Cause::read_only};
    case ERROR_FILE_TOO_LARGE:
      return {Cause::too_large};
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_IO_DEVICE:
    case ERROR_GEN_FAILURE:
      return {Cause::io_error};
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return {Cause::name_too_long};
    case ERROR_TOO_MANY_LINKS:
    case ERROR_CANT_RESOLVE_FILENAME:
      return {Cause::too_many_links};
    default:
      break;
  }
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring_view wide(text != nullptr ? text : L"", length);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L'.')) {
    wide.remove_suffix(1);
  }
  FailureCause cause{Cause::other, utf8_from_wide(wide)};
  if (text != nullptr) LocalFree(text);
  if (cause.system_text.empty()) cause.system_text = "Windows error " + std::to_string(code);
  return cause;
}

void remember_last_error(const std::filesystem::path& file) {
  remember_failure(file, cause_of(GetLastError()));
}

HANDLE handle_of(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// A handle that is closed on every way out.
class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (valid()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  void reset(HANDLE h) {
    if (valid()) CloseHandle(h_);
    h_ = h;
  }
  bool close() {
    const HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return CloseHandle(h) != 0;
  }

 private:
  HANDLE h_;
};

bool write_all(HANDLE h, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(h, bytes.data(), want, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

bool seek(HANDLE h, std::int64_t offset) {
  LARGE_INTEGER position{};
  position.QuadPart = offset;
  return SetFilePointerEx(h, position, nullptr, FILE_BEGIN) != 0;
}

// A link (any reparse point), a folder, a device or a write-protected file is never replaced.
constexpr DWORD kNotReplaceable = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY |
                                  FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY;

// While a temporary file exists, Ctrl+C, Ctrl+Break or closing the console removes it first
// (it is open with FILE_SHARE_DELETE, so it goes when the process ends).
wchar_t g_temporary[MAX_PATH * 4];
volatile LONG g_armed = 0;

BOOL WINAPI remove_temporary(DWORD) {
  if (g_armed != 0) DeleteFileW(g_temporary);
  return FALSE;  // and on to the default handler, which ends the process
}

// Removes the temporaries "NAME.<pid>.<digits>.tmp" beside `target` whose writing process no
// longer exists (ended by TerminateProcess, or a power cut). Best effort.
void remove_stale_temporaries(const std::filesystem::path& target) {
  const std::wstring prefix = target.filename().native() + L".";
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW((target.native() + L".*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring_view name(found.cFileName);
    if (name.size() <= prefix.size() + 4 || name.substr(0, prefix.size()) != prefix) continue;
    const std::wstring_view middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    const std::size_t dot = middle.find(L'.');
    if (dot == 0 || dot == std::wstring_view::npos || dot > 9 ||
        middle.find_first_not_of(L"0123456789.") != std::wstring_view::npos ||
        middle.find(L'.', dot + 1) != std::wstring_view::npos) {
      continue;
    }
    DWORD pid = 0;
    for (const wchar_t c : middle.substr(0, dot)) pid = pid * 10 + static_cast<DWORD>(c - L'0');
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process != nullptr) {
      CloseHandle(process);
    } else if (GetLastError() == ERROR_INVALID_PARAMETER) {  // no such process
      DeleteFileW((target.parent_path() / std::wstring(name)).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// "NAME.<pid>.<random>.tmp" beside the target: the process id tells the next run whether
// its writer is gone.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::filesystem::path& target) {
    remove_stale_temporaries(target);
    std::random_device random;
    for (int attempt = 0; attempt < 16 && !handle_.valid(); ++attempt) {
      const std::wstring name = target.native() + L"." + std::to_wstring(GetCurrentProcessId()) +
                                L"." + std::to_wstring((std::uint64_t{random()} << 32) ^ random()) +
                                L".tmp";
      if (name.size() >= MAX_PATH * 4) return;
      g_armed = 0;
      std::memcpy(g_temporary, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
      g_armed = 1;
      if (!handler_) handler_ = SetConsoleCtrlHandler(&remove_temporary, TRUE) != 0;
      handle_.reset(CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!handle_.valid()) {
        g_armed = 0;
        if (GetLastError() != ERROR_FILE_EXISTS) break;
      }
    }
  }
  ~TemporaryFile() {
    if (handle_.valid()) handle_.close();
    if (g_armed != 0) DeleteFileW(g_temporary);
    g_armed = 0;
    if (handler_) SetConsoleCtrlHandler(&remove_temporary, FALSE);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  HANDLE get() const { return handle_.get(); }
  bool valid() const { return handle_.valid(); }
  bool close() { return handle_.close(); }
  // Puts it in the place of `target`, with the attributes the replaced file had (hidden,
  // archive…). ReplaceFileW would also keep its security, but Wine's leaves a temporary file
  // of its own behind when the replaced file is held open.
  bool put_in_place_of(const std::filesystem::path& target, DWORD attributes) {
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(g_temporary, attributes);
    const bool moved = MoveFileExW(g_temporary, target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (moved) g_armed = 0;
    return moved;
  }
  // Gives it the name `target` only where there is no file of that name yet.
  bool move_to_new(const std::filesystem::path& target) {
    const bool moved = MoveFileExW(g_temporary, target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    if (moved) g_armed = 0;
    return moved;
  }

 private:
  Handle handle_{INVALID_HANDLE_VALUE};
  bool handler_ = false;
};

bool rewrite_in_place(const std::filesystem::path& file, std::string_view bytes) {
  Handle h(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!h.valid() || GetFileType(h.get()) != FILE_TYPE_DISK) return false;
  const bool written =
      write_all(h.get(), bytes) && SetEndOfFile(h.get()) != 0 && FlushFileBuffers(h.get()) != 0;
  return h.close() && written;
}

bool write_to(DWORD which, std::string_view utf8) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  if (utf8.empty()) return true;
  DWORD mode = 0;
  if (!GetConsoleMode(handle, &mode)) return write_all(handle, utf8);
  // A console shows Russian right only through the wide function. Older consoles refuse one
  // large write, so the text goes in pieces, never splitting a surrogate pair.
  const std::wstring wide = wide_from_utf8(utf8);
  constexpr std::size_t kPiece = 8192;
  for (std::size_t from = 0; from < wide.size();) {
    std::size_t count = std::min(kPiece, wide.size() - from);
    if (from + count < wide.size() && IS_HIGH_SURROGATE(wide[from + count - 1])) --count;
    DWORD written = 0;
    if (!WriteConsoleW(handle, wide.data() + from, static_cast<DWORD>(count), &written, nullptr) ||
        written == 0) {
      return false;
    }
    from += written;
  }
  return true;
}

}  // namespace

InputFile::InputFile(const std::filesystem::path& file) : file_(file) {
  // Others may go on reading, writing and even deleting it meanwhile, as with the C library.
  const HANDLE h = CreateFileW(file.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    remember_last_error(file);
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

std::unique_ptr<InputFile> InputFile::standard_input(const std::filesystem::path& name) {
  auto in = std::unique_ptr<InputFile>(new InputFile(name, nullptr));
  // A handle of its own, so that closing it leaves the process's standard input alone; read
  // with ReadFile, so no text mode changes a byte.
  HANDLE own = nullptr;
  const HANDLE process = GetCurrentProcess();
  const HANDLE std_in = GetStdHandle(STD_INPUT_HANDLE);
  if (std_in == nullptr || std_in == INVALID_HANDLE_VALUE ||
      !DuplicateHandle(process, std_in, process, &own, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    remember_last_error(name);
    return in;
  }
  in->handle_ = reinterpret_cast<std::intptr_t>(own);
  in->status_ = Status::open;
  return in;
}

InputFile::~InputFile() {
  if (handle_ != -1) CloseHandle(handle_of(handle_));
}

std::size_t InputFile::read(char* buffer, std::size_t size) {
  if (status_ != Status::open) return 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  DWORD got = 0;
  if (!ReadFile(handle_of(handle_), buffer, want, &got, nullptr)) {
    // A pipe whose writer is gone has reached its end.
    if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
    status_ = Status::unreadable;
    remember_last_error(file_);
    return 0;
  }
  return got;
}

std::size_t InputFile::read_start(char* buffer, std::size_t size) {
  std::size_t got = 0;
  while (status_ == Status::open && got < size) {
    // An offset of its own for each read; the file's position goes back to the start after.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(got);
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - got, 1u << 30));
    if (!ReadFile(handle_of(handle_), buffer + got, want, &n, &at) || n == 0) break;
    got += n;
  }
  if (status_ == Status::open) {
    SetFilePointerEx(handle_of(handle_), LARGE_INTEGER{}, nullptr, FILE_BEGIN);
  }
  return got;
}

namespace {

bool replace_file_unrecorded(const std::filesystem::path& file, std::string_view bytes) {
  const DWORD attributes = GetFileAttributesW(file.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
  if (exists && (attributes & kNotReplaceable) != 0) {
    SetLastError((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0  ? ERROR_DIRECTORY
                 : (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? ERROR_ACCESS_DENIED
                                                               : ERROR_SUCCESS);
    return false;
  }

  TemporaryFile temporary(file);
  if (!temporary.valid()) return exists && rewrite_in_place(file, bytes);
  const bool written = write_all(temporary.get(), bytes) && FlushFileBuffers(temporary.get());
  return temporary.close() && written && temporary.put_in_place_of(file, attributes);
}

}  // namespace

bool replace_file(const std::filesystem::path& file, std::string_view bytes) {
  SetLastError(ERROR_SUCCESS);
  if (replace_file_unrecorded(file, bytes)) return true;
  remember_last_error(file);
  return false;
}

namespace {

OwnFile rewrite_own_file(const std::filesystem::path& file, std::string_view bytes,
                         std::string_view own_start, bool look_again) {
  // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, which is then seen and left alone.
  Handle h(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!h.valid()) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
      return GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES ? OwnFile::failed
                                                                         : OwnFile::not_ours;
    }
    // Written apart and moved in whole, so that no run sees it empty or half written.
    if (TemporaryFile temporary(file); temporary.valid()) {
      const bool written = write_all(temporary.get(), bytes);
      if (!temporary.close() || !written) return OwnFile::failed;
      if (temporary.move_to_new(file)) return OwnFile::written;
      const DWORD why = GetLastError();
      if (why != ERROR_ALREADY_EXISTS && why != ERROR_FILE_EXISTS) return OwnFile::failed;
      // Made meanwhile, perhaps whole by another run of ours: one more look.
      return look_again ? rewrite_own_file(file, bytes, own_start, false) : OwnFile::not_ours;
    }
    // A folder that takes no temporary.
    Handle created(CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!created.valid()) {
      return GetLastError() == ERROR_FILE_EXISTS ? OwnFile::not_ours : OwnFile::failed;
    }
    const bool written = write_all(created.get(), bytes);
    return created.close() && written ? OwnFile::written : OwnFile::failed;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h.get(), &info)) return OwnFile::failed;
  if (GetFileType(h.get()) != FILE_TYPE_DISK ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return OwnFile::not_ours;
  }
  std::string start(own_start.size(), '\0');
  std::size_t got = 0;
  while (got < start.size()) {
    DWORD n = 0;
    if (!ReadFile(h.get(), start.data() + got, static_cast<DWORD>(start.size() - got), &n,
                  nullptr) ||
        n == 0) {
      break;
    }
    got += n;
  }
  // An empty file counts as missing: a run stopped between making and filling it.
  if (got != 0 && (got != start.size() || start != own_start)) return OwnFile::not_ours;
  const bool written = seek(h.get(), 0) && write_all(h.get(), bytes) && SetEndOfFile(h.get());
  return h.close() && written ? OwnFile::written : OwnFile::failed;
}

}  // namespace

OwnFile rewrite_own_file(const std::filesystem::path& file, std::string_view bytes,
                         std::string_view own_start) {
  return rewrite_own_file(file, bytes, own_start, true);
}

Append append_record(const std::filesystem::path& file, std::string_view record) {
  Handle h(CreateFileW(file.c_str(), GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid()) {
    remember_last_error(file);
    return may_append_to(file) ? Append::failed : Append::not_regular;
  }
  if (GetFileType(h.get()) != FILE_TYPE_DISK) return Append::not_regular;
  if (record.empty()) return h.close() ? Append::written : Append::failed;
  // The lock is one byte far beyond any log's end, so that it keeps other runs out of this
  // append without keeping readers out of the log (a Windows lock on the data would).
  OVERLAPPED lock_place{};
  lock_place.OffsetHigh = 0x40000000;
  if (!LockFileEx(h.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lock_place)) return Append::failed;
  LARGE_INTEGER size{};
  bool written = GetFileSizeEx(h.get(), &size) && seek(h.get(), size.QuadPart);
  if (written && !write_all(h.get(), record)) {
    remember_last_error(file);
    // Only this record's bytes lie beyond the size seen under the lock.
    if (seek(h.get(), size.QuadPart)) SetEndOfFile(h.get());
    written = false;
  }
  UnlockFileEx(h.get(), 0, 1, 0, &lock_place);
  return h.close() && written ? Append::written : Append::failed;
}

bool may_append_to(const std::filesystem::path& file) {
  const DWORD attributes = GetFileAttributesW(file.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ||
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

// Windows has no signal for a closed pipe or a file size limit: the write fails by itself.
void ignore_write_signals() {}

bool write_stdout(std::string_view utf8) {
  return write_to(STD_OUTPUT_HANDLE, utf8);
}

bool write_stderr(std::string_view utf8) {
  return write_to(STD_ERROR_HANDLE, utf8);
}

bool stdout_is_terminal() {
  const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
    return false;
  }
  // Consoles before Windows 10 refuse the mode, and would show the sequences as text.
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

std::size_t read_stdin(char* buffer, std::size_t size) {
  // ReadFile on the handle itself: the C runtime's text mode, which would turn CR LF into LF
  // and stop at Ctrl+Z, is never in the way.
  const HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return 0;
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  // A pipe whose writer is gone reports ERROR_BROKEN_PIPE: that is its end.
  if (!ReadFile(handle, buffer, want, &got, nullptr)) return 0;
  return got;
}

bool process_running(std::int64_t id) {
  if (id <= 0 || id > 0xFFFFFFFFll) return false;
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

std::vector<Argument> program_arguments(int argc, char** argv) {
  std::vector<Argument> args;
  int count = 0;
  if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) {
      args.push_back({utf8_from_wide(wide[i]), std::filesystem::path(std::wstring(wide[i]))});
    }
    LocalFree(wide);
    return args;
  }
  // Without the wide command line, the runtime's narrow arguments are the best there is.
  for (int i = 1; i < argc; ++i) args.push_back({argv[i], std::filesystem::path(argv[i])});
  return args;
}

void open_document(const std::filesystem::path& file) {
  ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::wstring wide_from_utf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string utf8_from_wide(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

namespace {

[[noreturn]] void throw_no_memory() {
  throw std::bad_alloc();
}

bool out_of_memory(DWORD error) {
  return error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY;
}

// UTF-8 of a name; false (and the name with U+FFFD in place of what is not valid UTF-16)
// when it has a lone surrogate.
bool strict_utf8(std::wstring_view wide, std::string& utf8) {
  utf8.clear();
  if (wide.empty()) return true;
  const int size = static_cast<int>(wide.size());
  int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size, nullptr, 0,
                                   nullptr, nullptr);
  const bool valid = length > 0;
  const DWORD flags = valid ? WC_ERR_INVALID_CHARS : 0;
  if (!valid)
    length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return false;
  utf8.resize(static_cast<std::size_t>(length));
  WideCharToMultiByte(CP_UTF8, flags, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return valid;
}

bool id_of_path(const std::wstring& path, FileId& id) {
  // No access asked for: only what the file is, not what it holds; a link is not followed.
  Handle h(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!h.valid() || !GetFileInformationByHandle(h.get(), &info)) return false;
  id.device = info.dwVolumeSerialNumber;
  id.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

// The "\\?\" form of a path: no MAX_PATH limit, and names such as "con.php" or "aux.h"
// are the files they are, not devices.
std::wstring long_path(const std::filesystem::path& path) {
  const std::wstring& given = path.native();
  const DWORD size = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(given.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return {};
  full.resize(length);
  while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
  if (full.rfind(L"\\\\?\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace

InputFile::InputFile(const WalkFolder& folder, std::string_view name, bool /*follow*/)
    : InputFile(std::filesystem::path(folder.path_ + L"\\" + wide_from_utf8(name))) {}

bool file_id(const std::filesystem::path& file, FileId& id) {
  return id_of_path(file.native(), id);
}

bool target_id(const std::filesystem::path& file, FileId& id) {
  Handle h(CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!h.valid() || !GetFileInformationByHandle(h.get(), &info)) return false;
  id.device = info.dwVolumeSerialNumber;
  id.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

namespace {

// One argument as the C runtime's parser (CommandLineToArgvW) reads it back.
std::wstring argument_text(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring out = L"\"";
  for (auto at = argument.begin();; ++at) {
    std::size_t backslashes = 0;
    while (at != argument.end() && *at == L'\\') {
      ++at;
      ++backslashes;
    }
    if (at == argument.end()) {
      out.append(backslashes * 2, L'\\');
      break;
    }
    if (*at == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
    } else {
      out.append(backslashes, L'\\');
    }
    out.push_back(*at);
  }
  out.push_back(L'"');
  return out;
}

}  // namespace

std::optional<ProgramRun> run_program(std::string_view program,
                                      std::span<const std::string> arguments) {
  // CreateProcess would look in the current folder first: the program is found here instead.
  std::wstring found;
  const DWORD length = GetEnvironmentVariableW(L"PATH", nullptr, 0);
  std::wstring folders(length, L'\0');
  if (length == 0 || GetEnvironmentVariableW(L"PATH", folders.data(), length) >= length) {
    return std::nullopt;
  }
  folders.resize(folders.find(L'\0'));
  const std::wstring name = wide_from_utf8(program) + L".exe";
  for (std::size_t from = 0; found.empty() && from <= folders.size();) {
    std::size_t end = folders.find(L';', from);
    if (end == std::wstring::npos) end = folders.size();
    std::wstring folder = folders.substr(from, end - from);
    from = end + 1;
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') {
      folder = folder.substr(1, folder.size() - 2);
    }
    if (folder.empty() || !std::filesystem::path(folder).is_absolute()) continue;
    const std::wstring candidate = folder + (folder.back() == L'\\' ? L"" : L"\\") + name;
    const DWORD attributes = GetFileAttributesW(candidate.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      found = candidate;
    }
  }
  if (found.empty()) return std::nullopt;
  std::wstring command = argument_text(found);
  for (const std::string& argument : arguments)
    command += L" " + argument_text(wide_from_utf8(argument));

  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherited, 0)) return std::nullopt;
  Handle from(read_end);
  Handle to(write_end);
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  Handle null(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          &inherited, OPEN_EXISTING, 0, nullptr));
  if (!null.valid()) return std::nullopt;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null.get();
  startup.hStdOutput = write_end;
  startup.hStdError = null.get();
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(found.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process)) {
    return std::nullopt;
  }
  Handle child(process.hProcess);
  CloseHandle(process.hThread);
  to.reset(INVALID_HANDLE_VALUE);
  null.reset(INVALID_HANDLE_VALUE);
  ProgramRun run;
  constexpr std::size_t kMostKept = std::size_t{1} << 20;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    const std::size_t room = kMostKept - std::min(kMostKept, run.output.size());
    run.output.append(buffer, std::min<std::size_t>(room, got));
  }
  DWORD status = 0;
  if (WaitForSingleObject(child.get(), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(child.get(), &status)) {
    return std::nullopt;
  }
  run.status = static_cast<int>(status);
  return run;
}

std::filesystem::path system_git_config() {
  return {};
}

unsigned usable_cpus() {
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
  return static_cast<unsigned>(std::popcount(static_cast<std::uint64_t>(process)));
}

std::string walk_name_of(const std::filesystem::path& path) {
  return utf8_from_wide(path.native());
}

std::filesystem::path path_from_walk(std::string_view bytes) {
  return std::filesystem::path(wide_from_utf8(bytes));
}

WalkFolder::~WalkFolder() = default;

WalkFolder::Opened WalkFolder::open(const std::filesystem::path& folder) {
  cut_.clear();
  path_ = long_path(folder);
  const DWORD attributes =
      path_.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (out_of_memory(GetLastError())) throw_no_memory();
    return Opened::unreadable;
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Opened::ok : Opened::not_folder;
}

WalkFolder::Opened WalkFolder::enter(std::string_view name) {
  const std::size_t cut = path_.size();
  cut_.push_back(cut);
  path_ += L'\\';
  path_ += wide_from_utf8(name);
  const DWORD attributes = GetFileAttributesW(path_.c_str());
  Opened opened = Opened::ok;
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (out_of_memory(GetLastError())) {
      path_.resize(cut);
      cut_.pop_back();
      throw_no_memory();
    }
    opened = Opened::unreadable;
  } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    opened = Opened::link;  // a junction as well as a symbolic link
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    opened = Opened::not_folder;
  }
  if (opened != Opened::ok) {
    path_.resize(cut);
    cut_.pop_back();
  }
  return opened;
}

bool WalkFolder::leave() {
  if (cut_.empty()) return false;
  path_.resize(cut_.back());
  cut_.pop_back();
  return true;
}

bool WalkFolder::list(void (*add)(void* context, const Entry& entry), void* context) {
  WIN32_FIND_DATAW data{};
  const std::wstring pattern = path_ + L"\\*";
  HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (out_of_memory(error)) throw_no_memory();
    return error == ERROR_FILE_NOT_FOUND;
  }
  struct Closer {
    HANDLE find;
    ~Closer() { FindClose(find); }
  } closer{find};
  std::string name;
  for (;;) {
    const std::wstring_view wide(data.cFileName);
    if (wide != L"." && wide != L"..") {
      Entry entry;
      const bool valid = strict_utf8(wide, name);
      entry.name = name;
      const DWORD a = data.dwFileAttributes;
      if (!valid) {
        entry.kind = Kind::bad_name;
      } else if ((a & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        entry.kind = (a & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Kind::link_to_folder : Kind::file;
        entry.follow = true;
      } else if ((a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
        entry.kind = Kind::hidden;
      } else if ((a & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        entry.kind = Kind::folder;
      } else if ((a & FILE_ATTRIBUTE_DEVICE) != 0) {
        entry.kind = Kind::not_regular;
      }
      add(context, entry);
    }
    if (!FindNextFileW(find, &data)) {
      const DWORD error = GetLastError();
      if (out_of_memory(error)) throw_no_memory();
      return error == ERROR_NO_MORE_FILES;
    }
  }
}

bool WalkFolder::entry_id(std::string_view name, FileId& id) const {
  return id_of_path(path_ + L"\\" + wide_from_utf8(name), id);
}

bool WalkFolder::entry_target_id(std::string_view name, FileId& id) const {
  return target_id(std::filesystem::path(path_ + L"\\" + wide_from_utf8(name)), id);
}

}  // namespace orven::platform
