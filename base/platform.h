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
#include <memory>
#include <optional>
#include <span>
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

class WalkFolder;

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
  // The process's standard input, as it is (a pipe, a terminal or a file), in binary; its
  // size is taken as 0, so that it is read to its end. `name` is what failures are told by.
  static std::unique_ptr<InputFile> standard_input(const std::filesystem::path& name);
  // The entry `name` of the folder a walk stands in; a link is followed only when `follow`
  // (an entry the listing saw as a regular file is never opened through a link put there
  // since).
  InputFile(const WalkFolder& folder, std::string_view name, bool follow);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  Status status() const { return status_; }
  // The size when it was opened.
  std::uint64_t size() const { return size_; }
  // Reads up to `size` bytes; 0 at the end. A failed read returns 0 and sets unreadable.
  std::size_t read(char* buffer, std::size_t size);
  // Reads up to `size` bytes from the file's start without moving on, so that the reads after
  // it begin at the start still; only before the first read(). Returns the bytes read (fewer
  // at the end or after a failure, which read() then meets again).
  std::size_t read_start(char* buffer, std::size_t size);

 private:
  // Not open yet: standard_input makes it open.
  InputFile(const std::filesystem::path& file, std::nullptr_t) : file_(file) {}
  void adopt(int fd);  // POSIX: both ways of opening end here

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

// Whether standard output is a terminal that shows colour (on Windows a console, whose
// ANSI sequences this turns on where the system has them).
bool stdout_is_terminal();

// Reads up to `size` bytes of standard input exactly as they come (on Windows too: no
// text-mode translation of line ends, as a byte protocol needs); 0 at its end or after an
// error. write_stdout is as exact when standard output is not a console.
std::size_t read_stdin(char* buffer, std::size_t size);

// Whether a process of this id is running now: a language server ends when its client is
// gone. False for an id that names no process.
bool process_running(std::int64_t id);

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

// What names a file on its file system (device and inode; volume and file index on Windows):
// the same file under any name, through any path, however long.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  bool operator==(const FileId&) const = default;
};

// The identity of `file` itself (a link is not followed); false when there is none to take.
bool file_id(const std::filesystem::path& file, FileId& id);
// The identity of what `file` leads to (a link is followed), as a read of it would see it.
bool target_id(const std::filesystem::path& file, FileId& id);

// A helper program run to its end: `program` is looked for in the absolute folders of PATH
// only (never the current one, which may hold anything), with `arguments` (UTF-8); its
// standard input is empty and its standard error discarded. Its exit status and what it
// wrote to standard output (the first MiB); nothing when it could not be started or did not
// end by itself.
struct ProgramRun {
  int status = 0;
  std::string output;
};
std::optional<ProgramRun> run_program(std::string_view program,
                                      std::span<const std::string> arguments);

// git's configuration file for the whole system, where it is not found through git itself
// ("/etc/gitconfig"; none on Windows, where it lies beside git).
std::filesystem::path system_git_config();

// How many CPUs this process may run on (its affinity mask), at least 1.
unsigned usable_cpus();

// A name of a walked folder's entry as bytes: the name itself on POSIX, UTF-8 on Windows.
// Paths made of them for messages come back through path_from_walk.
std::string walk_name_of(const std::filesystem::path& path);
std::filesystem::path path_from_walk(std::string_view bytes);

// A folder that a walk stands in, held by an open handle on POSIX (openat / fdopendir), by a
// "\\?\" path on Windows: no walk depth is limited by PATH_MAX or MAX_PATH, and no link is
// ever entered. Only the folder being listed is open; going back up checks that the parent
// is still the folder it came from. Out of memory (in the system as in the program) throws
// std::bad_alloc, never looks like a folder that could not be read.
class WalkFolder {
 public:
  enum class Kind {
    file,            // a regular file, or a link to one
    folder,          // never a link
    link_to_folder,  // never entered
    not_regular,     // a device, pipe or socket (or a link to one): never opened
    unreadable,      // what it is cannot be told: a broken link, say
    hidden,          // Windows: the hidden or system attribute
    bad_name,        // Windows: a name that is not valid UTF-16
  };
  struct Entry {
    std::string_view name;  // walk bytes (walk_name_of); valid during the callback only
    Kind kind = Kind::file;
    bool follow = false;    // a link to a file: open through it
    bool id_known = false;  // id is the entry's identity (not a link)
    FileId id{};
  };
  enum class Opened { ok, unreadable, link, not_folder };

  WalkFolder() = default;
  ~WalkFolder();
  WalkFolder(const WalkFolder&) = delete;
  WalkFolder& operator=(const WalkFolder&) = delete;

  // Stands in the folder `folder`, named on the command line (a link to a folder is taken).
  Opened open(const std::filesystem::path& folder);
  // Steps into the subfolder `name` of the one it stands in, never through a link.
  Opened enter(std::string_view name);
  // Steps back to the folder it entered from; false when that is gone or moved meanwhile
  // (the walk then stands nowhere).
  bool leave();
  // Calls add(context, entry) for each entry but "." and "..", in the system's order; false
  // when the names could not all be read.
  bool list(void (*add)(void* context, const Entry& entry), void* context);
  // The identity of an entry (not followed); false when there is none.
  bool entry_id(std::string_view name, FileId& id) const;
  // The identity of what the entry leads to (a link is followed), as a read of it sees it.
  bool entry_target_id(std::string_view name, FileId& id) const;

 private:
  friend class InputFile;
  std::intptr_t handle_ = -1;     // POSIX: the open descriptor of the folder
  std::vector<FileId> above_;     // POSIX: the folders entered from, the nearest last
  std::wstring path_;             // Windows: the "\\?\" path of the folder
  std::vector<std::size_t> cut_;  // Windows: path_'s length before each enter
};

}  // namespace orven::platform
