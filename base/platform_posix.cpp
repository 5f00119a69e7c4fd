// The platform layer on Linux and other POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <optional>
#include <random>
#include <system_error>

#include "base/failure_cause.h"
#include "base/platform.h"

namespace orven::platform {
namespace {

// A descriptor that is closed on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now; false when the close reported an error (some file systems report a failed
  // write only then).
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Writes the bytes, at `offset` or (offset < 0) at the file's position, until all are out or
// an error stops it; returns how many went out.
std::size_t write_some(int fd, std::string_view bytes, off_t offset = -1) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = offset < 0 ? ::write(fd, bytes.data() + done, bytes.size() - done)
                                 : ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                            offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool write_all(int fd, std::string_view bytes, off_t offset = -1) {
  return write_some(fd, bytes, offset) == bytes.size();
}

// Replacing a file through rename would hand it to this user and drop write protection, so
// only a file this user owns and may write is replaced.
bool may_replace(const struct stat& info) {
  return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & S_IWUSR) != 0;
}

// The cause behind an errno value.
FailureCause cause_of(int code) {
  switch (code) {
    case 0:
      return {};
    case ENOENT:
    case ENOTDIR:
      return {Cause::no_such_file};
    case EACCES:
    case EPERM:
      return {Cause::no_permission};
    case EISDIR:
      return {Cause::is_folder};
    case ENOSPC:
    case EDQUOT:
      return {Cause::no_space};
    case EROFS:
      return {Cause::read_only};
    case EFBIG:
      return {Cause::too_large};
    case EIO:
      return {Cause::io_error};
    case ENAMETOOLONG:
      return {Cause::name_too_long};
    case EMLINK:
    case ELOOP:
      return {Cause::too_many_links};
    default:
      break;
  }
  char buffer[256];
  // The GNU strerror_r, which returns its text (perhaps not in the buffer).
  return {Cause::other, ::strerror_r(code, buffer, sizeof buffer)};
}

void remember_errno(const std::filesystem::path& file) {
  if (errno != 0) remember_failure(file, cause_of(errno));
}

// Opens, again after a signal broke in (a slow device, a lock held over a network).
int open_retrying(const char* name, int flags, mode_t mode = 0) {
  for (;;) {
    const int fd = ::open(name, flags, mode);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}
// The same inside an open folder, as the walk opens its entries.
int openat_retrying(int folder, const char* name, int flags) {
  for (;;) {
    const int fd = ::openat(folder, name, flags);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

// While a named temporary file exists, every signal whose default action ends the process
// removes it first (SIGKILL cannot be caught: the next run removes what it leaves, see
// remove_stale_temporaries). The path lives in static storage, since a signal handler may
// touch nothing else.
constexpr std::array<int, 22> kEndingSignals{
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,  SIGBUS,  SIGFPE,
    SIGUSR1,   SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,  SIGXCPU, SIGXFSZ,
    SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS,  SIGSTKFLT};
char g_temporary[4096];
volatile std::sig_atomic_t g_armed = 0;

extern "C" void remove_temporary_and_end(int signal) {
  if (g_armed != 0) ::unlink(g_temporary);
  // The default action is back (SA_RESETHAND), and the signal is not blocked here.
  ::raise(signal);
}

// The signals whose default action ends the process: the list above and the real-time ones.
template <class Each>
void for_each_ending_signal(Each each) {
  for (std::size_t i = 0; i < kEndingSignals.size(); ++i) each(i, kEndingSignals[i]);
  for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) {
    each(kEndingSignals.size() + static_cast<std::size_t>(s - SIGRTMIN), s);
  }
}
constexpr std::size_t kMostSignals = 22 + 64;

// "NAME.<pid>.<random>.tmp": the process id tells the next run whether its writer is gone.
std::string temporary_name(const std::filesystem::path& target, std::uint64_t salt) {
  return target.native() + "." + std::to_string(::getpid()) + "." + std::to_string(salt) + ".tmp";
}

// Removes the temporaries beside `target` whose writing process no longer exists (killed
// with SIGKILL, or a power cut): "NAME.<pid>.<digits>.tmp". Best effort: a folder that
// cannot be listed keeps them.
void remove_stale_temporaries(const std::filesystem::path& target) {
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  const std::string prefix = target.filename().native() + ".";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name.size() <= prefix.size() + 4 || !name.starts_with(prefix) || !name.ends_with(".tmp")) {
      continue;
    }
    const std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    const std::size_t dot = middle.find('.');
    if (dot == 0 || dot == std::string_view::npos ||
        middle.find_first_not_of("0123456789.") != std::string_view::npos ||
        middle.find('.', dot + 1) != std::string_view::npos || dot > 9) {
      continue;
    }
    pid_t pid = 0;
    for (const char c : middle.substr(0, dot)) pid = pid * 10 + (c - '0');
    if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) {
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

// The new content of a file, written apart from it and put in its place only when whole.
// Where the file system has unnamed files (O_TMPFILE), it has no name until it is linked in,
// so no kill can leave it behind; elsewhere it is "NAME.<pid>.<random>.tmp" beside the
// target, removed by the signals that end the process, and by the next run after SIGKILL.
class TemporaryFile {
 public:
  // file().get() is negative when none could be made.
  explicit TemporaryFile(const std::filesystem::path& target) : target_(target) {
    remove_stale_temporaries(target);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    file_.reset(open_retrying(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (file_.get() >= 0) {
      unnamed_ = true;
      return;
    }
    // Only a file system (or kernel) without unnamed files falls back to a name: any other
    // failure would meet the named file too.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return;
    std::random_device random;
    for (int attempt = 0; attempt < 16 && file_.get() < 0; ++attempt) {
      const std::string name = temporary_name(target, (std::uint64_t{random()} << 32) ^ random());
      if (!arm(name)) return;
      file_.reset(
          open_retrying(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
      if (file_.get() < 0) {
        g_armed = 0;
        if (errno != EEXIST) break;
      }
    }
  }
  ~TemporaryFile() {
    const int saved = errno;  // the cause of a failure, for the caller
    file_.reset(-1);
    if (g_armed != 0) ::unlink(g_temporary);
    g_armed = 0;
    for_each_ending_signal([this](std::size_t i, int signal) {
      if (installed_[i]) ::sigaction(signal, &previous_[i], nullptr);
    });
    errno = saved;
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  Descriptor& file() { return file_; }

  // Gives the written file the target's name: in place of the file there (replace), or
  // only where there is none (!replace, false with EEXIST otherwise). From then on it is no
  // longer temporary. The descriptor must be closed already for a named temporary.
  bool put_in_place(bool replace) {
    if (unnamed_) {
      const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
      if (!replace)
        return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0;
      // A name for the microseconds until the rename; a kill meanwhile leaves it to the
      // signal handlers or the next run.
      std::random_device random;
      if (!arm(temporary_name(target_, (std::uint64_t{random()} << 32) ^ random()))) return false;
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, g_temporary, AT_SYMLINK_FOLLOW) != 0) {
        g_armed = 0;
        return false;
      }
    } else if (!replace) {
      // Linked rather than renamed, so that a file that appeared meanwhile is kept.
      if (::link(g_temporary, target_.c_str()) != 0) return false;
      const int saved = errno;
      ::unlink(g_temporary);
      g_armed = 0;
      errno = saved;
      return true;
    }
    if (::rename(g_temporary, target_.c_str()) != 0) return false;
    g_armed = 0;
    return true;
  }

 private:
  bool arm(const std::string& name) {
    g_armed = 0;
    if (name.size() >= sizeof g_temporary) return false;
    std::memcpy(g_temporary, name.c_str(), name.size() + 1);
    g_armed = 1;
    if (handlers_) return true;
    handlers_ = true;
    // Only where the default action would end the process: a signal that is ignored or
    // handled by someone else keeps its meaning.
    for_each_ending_signal([this](std::size_t i, int signal) {
      struct sigaction current {};
      if (i >= kMostSignals || ::sigaction(signal, nullptr, &current) != 0 ||
          current.sa_handler != SIG_DFL) {
        return;
      }
      struct sigaction action {};
      action.sa_handler = &remove_temporary_and_end;
      action.sa_flags = SA_RESETHAND | SA_NODEFER;
      sigemptyset(&action.sa_mask);
      installed_[i] = ::sigaction(signal, &action, &previous_[i]) == 0;
    });
    return true;
  }

  std::filesystem::path target_;
  Descriptor file_{-1};
  bool unnamed_ = false;
  bool handlers_ = false;
  std::array<bool, kMostSignals> installed_{};
  std::array<struct sigaction, kMostSignals> previous_{};
};

// Makes a rename just done survive a power cut too.
void sync_folder_of(const std::filesystem::path& file) {
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The file itself, written from its start and cut to the new length: for a folder where no
// temporary file can be made. `expected` is the file that was checked, which it must still be.
bool rewrite_in_place(const std::filesystem::path& file, const struct stat& expected,
                      std::string_view bytes) {
  Descriptor fd(
      open_retrying(file.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat info {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || info.st_dev != expected.st_dev ||
      info.st_ino != expected.st_ino || !may_replace(info)) {
    return false;
  }
  const bool written = write_all(fd.get(), bytes, 0) &&
                       ::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) == 0 &&
                       ::fsync(fd.get()) == 0;
  return fd.close() && written;
}

}  // namespace

InputFile::InputFile(const std::filesystem::path& file) : file_(file) {
  // Non-blocking, so that a pipe without a writer opens at once and can be refused.
  const int fd = open_retrying(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    remember_errno(file);
    return;
  }
  adopt(fd);
}

// Keeps the descriptor when it is a regular file, checked on the open descriptor itself so
// that nothing can be swapped in between; closes it otherwise.
void InputFile::adopt(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) {  // nothing is known of it: it cannot be read
    remember_errno(file_);
    status_ = Status::unreadable;
    ::close(fd);
    return;
  }
  if (!S_ISREG(info.st_mode)) {
    status_ = Status::not_regular;
    ::close(fd);
    return;
  }
  handle_ = fd;
  size_ = static_cast<std::uint64_t>(info.st_size);
  status_ = Status::open;
}

std::unique_ptr<InputFile> InputFile::standard_input(const std::filesystem::path& name) {
  auto in = std::unique_ptr<InputFile>(new InputFile(name, nullptr));
  // A descriptor of its own, so that closing it leaves the process's standard input alone.
  const int fd = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) {
    remember_errno(name);
    return in;
  }
  in->handle_ = fd;
  in->status_ = Status::open;
  return in;
}

InputFile::~InputFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::size_t InputFile::read(char* buffer, std::size_t size) {
  if (status_ != Status::open) return 0;
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(handle_), buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) {
      status_ = Status::unreadable;
      remember_errno(file_);
      return 0;
    }
  }
}

std::size_t InputFile::read_start(char* buffer, std::size_t size) {
  std::size_t got = 0;
  while (status_ == Status::open && got < size) {
    const ssize_t n =
        ::pread(static_cast<int>(handle_), buffer + got, size - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

namespace {

bool replace_file_unrecorded(const std::filesystem::path& file, std::string_view bytes) {
  ignore_write_signals();
  struct stat old {};
  const bool exists = ::lstat(file.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return false;
  if (exists && !may_replace(old)) {
    errno = S_ISDIR(old.st_mode) ? EISDIR : S_ISREG(old.st_mode) ? EACCES : 0;
    return false;
  }

  TemporaryFile temporary(file);
  Descriptor& fd = temporary.file();
  if (fd.get() < 0) return exists && rewrite_in_place(file, old, bytes);
  if (exists) {
    ::fchmod(fd.get(), old.st_mode & 07777);
    // The group too, where this user may give it; a failure leaves the folder's group.
    if (::fchown(fd.get(), static_cast<uid_t>(-1), old.st_gid) != 0) errno = 0;
  }
  if (!write_all(fd.get(), bytes) || ::fsync(fd.get()) != 0) return false;
  if (!temporary.put_in_place(true) || !fd.close()) return false;
  sync_folder_of(file);
  return true;
}

}  // namespace

bool replace_file(const std::filesystem::path& file, std::string_view bytes) {
  errno = 0;
  if (replace_file_unrecorded(file, bytes)) return true;
  remember_errno(file);
  return false;
}

namespace {

// Whether the regular file open as `fd` starts with `own_start`; an empty file counts as
// missing, and so as ours.
bool starts_with_own(int fd, std::string_view own_start) {
  std::string start(own_start.size(), '\0');
  std::size_t got = 0;
  while (got < start.size()) {
    const ssize_t n = ::pread(fd, start.data() + got, start.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got == 0 || (got == start.size() && start == own_start);
}

// The own file written whole apart from its name and then put in its place (over `old`
// when it is given), so that no run ever sees it empty or half written; nullopt where the
// folder takes no new file, and also when another run made it meanwhile (EEXIST).
std::optional<OwnFile> rewrite_own_through_temporary(const std::filesystem::path& file,
                                                     std::string_view bytes,
                                                     const struct stat* old) {
  TemporaryFile temporary(file);
  Descriptor& fd = temporary.file();
  if (fd.get() < 0) {
    // Only a folder this user may not add to, or one out of room for a new name, is
    // written in place; any other failure would meet the file itself too.
    if (errno == EACCES || errno == EPERM || errno == ENOSPC || errno == EDQUOT)
      return std::nullopt;
    return OwnFile::failed;
  }
  if (old != nullptr) ::fchmod(fd.get(), old->st_mode & 07777);
  if (!write_all(fd.get(), bytes)) return OwnFile::failed;
  if (temporary.put_in_place(old != nullptr)) {
    return fd.close() ? OwnFile::written : OwnFile::failed;
  }
  if (errno == EEXIST) return std::nullopt;
  return OwnFile::failed;
}

}  // namespace

OwnFile rewrite_own_file(const std::filesystem::path& file, std::string_view bytes,
                         std::string_view own_start) {
  ignore_write_signals();
  // A second look when another run made the file between the first look and the link.
  for (int look = 0; look < 3; ++look) {
    Descriptor fd(
        open_retrying(file.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
      if (errno != ENOENT)
        return errno == EACCES || errno == EROFS ? OwnFile::failed : OwnFile::not_ours;
      if (const auto done = rewrite_own_through_temporary(file, bytes, nullptr)) return *done;
      if (errno == EEXIST) continue;
      // A folder that takes no temporary: created only if it is still missing, since a file
      // that appeared meanwhile is someone's.
      Descriptor created(
          open_retrying(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
      if (created.get() < 0) {
        if (errno == EEXIST) continue;
        return OwnFile::failed;
      }
      const bool written = write_all(created.get(), bytes);
      return created.close() && written ? OwnFile::written : OwnFile::failed;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return OwnFile::failed;
    if (!S_ISREG(info.st_mode)) return OwnFile::not_ours;
    if (!starts_with_own(fd.get(), own_start)) return OwnFile::not_ours;
    if (may_replace(info)) {
      if (const auto done = rewrite_own_through_temporary(file, bytes, &info)) return *done;
    }
    // In place, where the folder takes no temporary or renaming would change the file's owner.
    const bool written = write_all(fd.get(), bytes, 0) &&
                         ::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) == 0;
    return fd.close() && written ? OwnFile::written : OwnFile::failed;
  }
  return OwnFile::failed;
}

Append append_record(const std::filesystem::path& file, std::string_view record) {
  ignore_write_signals();
  // Non-blocking: a pipe without a reader fails at once (ENXIO) instead of waiting.
  Descriptor fd(open_retrying(
      file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666));
  if (fd.get() < 0) {
    if (errno == ENXIO || errno == EISDIR) return Append::not_regular;
    remember_errno(file);
    return Append::failed;
  }
  if (!record.empty()) {
    // Held until the file is closed. Where the file system has no locks, the record still
    // goes out in one write, as it did before there were locks.
    while (::flock(fd.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
    errno = 0;
    const std::size_t written = write_some(fd.get(), record);
    if (written != record.size()) {
      remember_errno(file);
      // Under the lock, the bytes at the end beyond the record's start are this record's.
      struct stat info {};
      if (written > 0 && ::fstat(fd.get(), &info) == 0 &&
          info.st_size >= static_cast<off_t>(written)) {
        if (::ftruncate(fd.get(), info.st_size - static_cast<off_t>(written)) != 0) errno = 0;
      }
      return Append::failed;
    }
  }
  if (fd.close()) return Append::written;
  remember_errno(file);
  return Append::failed;
}

bool may_append_to(const std::filesystem::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return true;  // missing: it is made on first use
  return S_ISREG(info.st_mode);
}

void ignore_write_signals() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
  });
}

bool write_stdout(std::string_view utf8) {
  return write_all(STDOUT_FILENO, utf8);
}

bool write_stderr(std::string_view utf8) {
  return write_all(STDERR_FILENO, utf8);
}

bool stdout_is_terminal() {
  return ::isatty(STDOUT_FILENO) == 1;
}

std::size_t read_stdin(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return 0;
  }
}

bool process_running(std::int64_t id) {
  if (id <= 0 || id > std::numeric_limits<pid_t>::max()) return false;
  // A process of another user answers EPERM: it is there all the same.
  return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

std::vector<Argument> program_arguments(int argc, char** argv) {
  std::vector<Argument> args;
  for (int i = 1; i < argc; ++i) args.push_back({argv[i], std::filesystem::path(argv[i])});
  return args;
}

void open_document(const std::filesystem::path& file) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(file, error);
  const std::string target = error ? file.string() : absolute.string();
  // Fork twice so that xdg-open belongs to nobody here: we neither wait for it nor leave a
  // zombie behind.
  const pid_t child = ::fork();
  if (child < 0) return;
  if (child == 0) {
    ::setsid();
    if (::fork() == 0) {
      const int null = ::open("/dev/null", O_RDWR);
      if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
      }
      ::execlp("xdg-open", "xdg-open", target.c_str(), static_cast<char*>(nullptr));
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
}

namespace {

FileId id_of(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

// Memory the system itself ran out of is the program's out of memory too.
[[noreturn]] void throw_no_memory() {
  throw std::bad_alloc();
}

WalkFolder::Opened opened_from(int error) {
  if (error == ENOMEM) throw_no_memory();
  if (error == ELOOP) return WalkFolder::Opened::link;
  if (error == ENOTDIR) return WalkFolder::Opened::not_folder;
  return WalkFolder::Opened::unreadable;
}

}  // namespace

InputFile::InputFile(const WalkFolder& folder, std::string_view name, bool follow) {
  const std::string terminated(name);
  // Non-blocking and without a controlling terminal, as for a named file: should the entry
  // have become a pipe or a device since it was listed, it is refused, never waited on.
  const int fd =
      openat_retrying(static_cast<int>(folder.handle_), terminated.c_str(),
                      O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (follow ? 0 : O_NOFOLLOW));
  if (fd < 0) {
    if (errno == ENOMEM) throw_no_memory();
    return;
  }
  adopt(fd);
}

bool file_id(const std::filesystem::path& file, FileId& id) {
  struct stat info {};
  if (::lstat(file.c_str(), &info) != 0) return false;
  id = id_of(info);
  return true;
}

bool target_id(const std::filesystem::path& file, FileId& id) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return false;
  id = id_of(info);
  return true;
}

std::optional<ProgramRun> run_program(std::string_view program,
                                      std::span<const std::string> arguments) {
  std::string found;
  const char* path = std::getenv("PATH");
  for (std::string_view folders = path != nullptr ? path : "/usr/bin:/bin"; found.empty();) {
    const std::size_t colon = folders.find(':');
    const std::string_view folder = folders.substr(0, colon);
    if (!folder.empty() && folder.front() == '/') {
      std::string candidate = std::string(folder) + "/" + std::string(program);
      struct stat info {};
      if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
          ::access(candidate.c_str(), X_OK) == 0) {
        found = std::move(candidate);
      }
    }
    if (colon == std::string_view::npos) break;
    folders.remove_prefix(colon + 1);
  }
  if (found.empty()) return std::nullopt;
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return std::nullopt;
  Descriptor from(pipe[0]);
  Descriptor to(pipe[1]);
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) return std::nullopt;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return std::nullopt;
  }
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  // The signals this process ignores (a closed pipe, the file size limit) are the helper's
  // to meet as usual, and none is blocked for it.
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGXFSZ);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  std::string name(program);
  std::vector<std::string> copies(arguments.begin(), arguments.end());
  std::vector<char*> argv{name.data()};
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = -1;
  const int started =
      ::posix_spawn(&child, found.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  to.close();
  if (started != 0) return std::nullopt;
  ProgramRun run;
  constexpr std::size_t kMostKept = std::size_t{1} << 20;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(from.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    // The rest is read all the same, so that the helper is never left waiting on the pipe.
    const std::size_t room = kMostKept - std::min(kMostKept, run.output.size());
    run.output.append(buffer, std::min(room, static_cast<std::size_t>(got)));
  }
  from.close();
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  if (!WIFEXITED(status)) return std::nullopt;
  run.status = WEXITSTATUS(status);
  return run;
}

std::filesystem::path system_git_config() {
  return "/etc/gitconfig";
}

unsigned usable_cpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  const int count = CPU_COUNT(&set);
  return count > 0 ? static_cast<unsigned>(count) : 1u;
}

std::string walk_name_of(const std::filesystem::path& path) {
  return path.native();
}

std::filesystem::path path_from_walk(std::string_view bytes) {
  return std::filesystem::path(std::string(bytes));
}

WalkFolder::~WalkFolder() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

WalkFolder::Opened WalkFolder::open(const std::filesystem::path& folder) {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  above_.clear();
  handle_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
  return handle_ >= 0 ? Opened::ok : opened_from(errno);
}

WalkFolder::Opened WalkFolder::enter(std::string_view name) {
  const std::string terminated(name);
  struct stat info {};
  if (::fstat(static_cast<int>(handle_), &info) != 0) return Opened::unreadable;
  above_.push_back(id_of(info));  // before the open, so that running out of memory leaks none
  const int fd = openat_retrying(static_cast<int>(handle_), terminated.c_str(),
                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    above_.pop_back();
    return opened_from(errno);
  }
  // A folder that may be listed but not searched (r without x) holds nothing that can be
  // opened, and no way back up through "..": it counts as one that cannot be read.
  if (::faccessat(fd, ".", X_OK, AT_EACCESS) != 0) {
    ::close(fd);
    above_.pop_back();
    return Opened::unreadable;
  }
  ::close(static_cast<int>(handle_));
  handle_ = fd;
  return Opened::ok;
}

bool WalkFolder::leave() {
  if (above_.empty() || handle_ < 0) return false;
  const int fd = openat_retrying(static_cast<int>(handle_), "..",
                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
  if (fd < 0 && errno == ENOMEM) throw_no_memory();
  ::close(static_cast<int>(handle_));
  handle_ = fd;
  struct stat info {};
  const bool back = fd >= 0 && ::fstat(fd, &info) == 0 && id_of(info) == above_.back();
  above_.pop_back();
  if (!back && fd >= 0) {
    ::close(fd);
    handle_ = -1;
  }
  return back;
}

bool WalkFolder::list(void (*add)(void* context, const Entry& entry), void* context) {
  // fdopendir takes the descriptor over, so it gets one of its own: ours stays for opening.
  const int fd = openat_retrying(static_cast<int>(handle_), ".",
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOMEM) throw_no_memory();
    return false;
  }
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    const int error = errno;
    ::close(fd);
    if (error == ENOMEM) throw_no_memory();
    return false;
  }
  struct Closer {
    DIR* dir;
    ~Closer() { ::closedir(dir); }
  } closer{dir};
  struct stat folder {};
  if (::fstat(fd, &folder) != 0) return false;
  for (;;) {
    errno = 0;
    const dirent* d = ::readdir(dir);
    if (d == nullptr) {
      if (errno == ENOMEM) throw_no_memory();
      return errno == 0;
    }
    const std::string_view name(d->d_name);
    if (name == "." || name == "..") continue;
    Entry entry;
    entry.name = name;
    // d_type tells most file systems' entries apart without a look at each; the rest, and
    // every link, get one (a link's target decides what it is, never entered all the same).
    unsigned char type = d->d_type;
    struct stat info {};
    if (type == DT_UNKNOWN) {
      if (::fstatat(fd, d->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOMEM) throw_no_memory();
        entry.kind = Kind::unreadable;
        add(context, entry);
        continue;
      }
      type = S_ISLNK(info.st_mode)   ? DT_LNK
             : S_ISDIR(info.st_mode) ? DT_DIR
             : S_ISREG(info.st_mode) ? DT_REG
                                     : DT_FIFO;
    } else {
      info.st_dev = folder.st_dev;
      info.st_ino = d->d_ino;
    }
    switch (type) {
      case DT_REG:
        entry.kind = Kind::file;
        entry.id_known = true;
        entry.id = id_of(info);
        break;
      case DT_DIR:
        entry.kind = Kind::folder;
        break;
      case DT_LNK:
        entry.follow = true;
        if (::fstatat(fd, d->d_name, &info, 0) != 0) {
          if (errno == ENOMEM) throw_no_memory();
          entry.kind = Kind::unreadable;
        } else {
          entry.kind = S_ISDIR(info.st_mode)   ? Kind::link_to_folder
                       : S_ISREG(info.st_mode) ? Kind::file
                                               : Kind::not_regular;
          entry.id_known = true;  // the file it leads to
          entry.id = id_of(info);
        }
        break;
      default:
        entry.kind = Kind::not_regular;
        break;
    }
    add(context, entry);
  }
}

bool WalkFolder::entry_id(std::string_view name, FileId& id) const {
  const std::string terminated(name);
  struct stat info {};
  if (::fstatat(static_cast<int>(handle_), terminated.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return false;
  }
  id = id_of(info);
  return true;
}

bool WalkFolder::entry_target_id(std::string_view name, FileId& id) const {
  const std::string terminated(name);
  struct stat info {};
  if (::fstatat(static_cast<int>(handle_), terminated.c_str(), &info, 0) != 0) return false;
  id = id_of(info);
  return true;
}

}  // namespace orven::platform
