// What the program needs from the operating system, behind one small interface that the core
// and every front use; platform_posix.cpp serves Linux and platform_windows.cpp serves
// Windows. Only standard types cross it, so the core stays free of system headers.
//
// Files the program writes live in a folder the user works in, so no write here follows a
// link into another file, opens a device or a pipe (which could block for ever), or leaves a
// half-written file behind: a failure is reported and the caller goes on as for a full disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orven::platform {

// Why an operation on a file failed: the common causes by name, the system's own text for
// the rest (`other`).
enum class Cause {
  unknown,
  no_such_file,
  no_permission,
  is_folder,
  no_space,
  read_only,
  too_large,
  io_error,
  name_too_long,
  too_many_links,
  other,
};
struct FailureCause {
  Cause cause = Cause::unknown;
  std::string system_text{};  // for `other`, UTF-8
};

// The cause of the last failure that InputFile, replace_file or append_record met on `file`
// (named as it was given to them), in any thread; unknown when none is known.
FailureCause failure_cause(const std::filesystem::path& file);

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
  std::filesystem::path file_;  // for the cause of a failed read
  std::uint64_t size_ = 0;
  std::intptr_t handle_ = -1;  // a descriptor (POSIX) or a HANDLE (Windows)
};

// Replaces `file` with `bytes` the way careful editors save: a temporary file beside it is
// written, flushed to the disk and renamed over it, so that a crash or a power cut leaves the
// old content or the new, never a mix. The file keeps its permissions. Nothing is written,
// and false returned, when the name is a link, not a regular file, or a file this user may
// not write (write-protected, or someone else's). Where no temporary file can be made but
// the file itself may be written, it is rewritten in place. No temporary file outlives the
// call, also when the process is interrupted by a signal meanwhile.
bool replace_file(const std::filesystem::path& file, std::string_view bytes);

// Rewrites `file` with `bytes` when it is missing, or when it is a regular file whose content
// starts with `own_start` (the program's own file from an earlier run); anything else (a
// user's file of the same name, a link, a folder, a pipe) is left untouched.
enum class OwnFile { written, not_ours, failed };
OwnFile rewrite_own_file(const std::filesystem::path& file, std::string_view bytes,
                         std::string_view own_start);

// Appends one record to a log that several runs may append to at once: the record is written
// in one piece under an exclusive lock on the file, and a record that reached the disk only
// in part (a full disk, a file size limit) is cut away again, under the same lock, so that
// the log holds whole records only and no other run's record is ever touched. An empty
// record only creates the file. not_regular: the name is a folder, device or pipe.
enum class Append { written, failed, not_regular };
Append append_record(const std::filesystem::path& file, std::string_view record);

// False when `file` exists and is not a regular file (or a link to one): a log that must not
// be opened at all.
bool may_append_to(const std::filesystem::path& file);

// From now on a write to a closed pipe or past the file size limit fails with an error that
// the caller reports, instead of killing the process without a word.
void ignore_write_signals();

// UTF-8 text for a person, to standard output or standard error; false when it could not all
// be written (a closed pipe, a full disk, a closed stream).
bool write_stdout(std::string_view utf8);
bool write_stderr(std::string_view utf8);

// The program's arguments after its name, as UTF-8 for comparing with the options and
// showing, and as the file name exactly as given.
struct Argument {
  std::string text;
  std::filesystem::path path;
};
std::vector<Argument> program_arguments(int argc, char** argv);

// Hands the file to the desktop's default application and returns at once; failures are
// not reported.
void open_document(const std::filesystem::path& file);

#ifdef _WIN32
// UTF-8 and the wide text of the Windows functions.
std::wstring wide_from_utf8(std::string_view utf8);
std::string utf8_from_wide(std::wstring_view wide);
#endif

// True when a name met in a folder is a link (on Windows any reparse point, a junction as
// well as a symbolic link): a walk over folders never follows one into a folder, so it
// cannot go round in a loop.
bool is_link(const std::filesystem::directory_entry& entry);

}  // namespace orven::platform
