// The platform layer on Linux and other POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <new>
#include <random>
#include <system_error>

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

// While a temporary file exists, the signals that end a process by default remove it first.
// The path lives in static storage, since a signal handler may touch nothing else.
constexpr std::array<int, 4> kEndingSignals{SIGHUP, SIGINT, SIGQUIT, SIGTERM};
char g_temporary[4096];
volatile std::sig_atomic_t g_armed = 0;

extern "C" void remove_temporary_and_end(int signal) {
  if (g_armed != 0) ::unlink(g_temporary);
  // The default action is back (SA_RESETHAND), and the signal is not blocked here.
  ::raise(signal);
}

class TemporaryFile {
 public:
  // Creates "NAME.<random>.tmp" beside `target`, readable and writable as a new file would
  // be; file().get() is negative when none could be made.
  explicit TemporaryFile(const std::filesystem::path& target) {
    std::random_device random;
    for (int attempt = 0; attempt < 16 && file_.get() < 0; ++attempt) {
      const std::uint64_t salt =
          (std::uint64_t{random()} << 32) ^ random() ^ static_cast<std::uint64_t>(::getpid()) << 16;
      const std::string name = target.native() + "." + std::to_string(salt) + ".tmp";
      if (name.size() >= sizeof g_temporary) return;
      arm(name);
      file_.reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
      if (file_.get() < 0) {
        g_armed = 0;
        if (errno != EEXIST) break;
      }
    }
  }
  ~TemporaryFile() {
    file_.reset(-1);
    if (g_armed != 0) ::unlink(g_temporary);
    g_armed = 0;
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
      if (installed_[i]) ::sigaction(kEndingSignals[i], &previous_[i], nullptr);
    }
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  Descriptor& file() { return file_; }
  // Renames it to `target`; from then on it is no longer temporary.
  bool rename_to(const std::filesystem::path& target) {
    if (::rename(g_temporary, target.c_str()) != 0) return false;
    g_armed = 0;
    return true;
  }

 private:
  void arm(const std::string& name) {
    g_armed = 0;
    std::memcpy(g_temporary, name.c_str(), name.size() + 1);
    g_armed = 1;
    if (handlers_) return;
    handlers_ = true;
    // Only where the default action would end the process: a signal that is ignored or
    // handled by someone else keeps its meaning.
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
      struct sigaction current {};
      if (::sigaction(kEndingSignals[i], nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
        continue;
      }
      struct sigaction action {};
      action.sa_handler = &remove_temporary_and_end;
      action.sa_flags = SA_RESETHAND | SA_NODEFER;
      sigemptyset(&action.sa_mask);
      installed_[i] = ::sigaction(kEndingSignals[i], &action, &previous_[i]) == 0;
    }
  }

  Descriptor file_{-1};
  bool handlers_ = false;
  std::array<bool, kEndingSignals.size()> installed_{};
  std::array<struct sigaction, kEndingSignals.size()> previous_{};
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
  Descriptor fd(::open(file.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
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
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::size_t InputFile::read(char* buffer, std::size_t size) {
  if (status_ != Status::open) return 0;
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(handle_), buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) {
      status_ = Status::unreadable;
      return 0;
    }
  }
}

bool replace_file(const std::filesystem::path& file, std::string_view bytes) {
  ignore_write_signals();
  struct stat old {};
  const bool exists = ::lstat(file.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return false;
  if (exists && !may_replace(old)) return false;

  TemporaryFile temporary(file);
  Descriptor& fd = temporary.file();
  if (fd.get() < 0) return exists && rewrite_in_place(file, old, bytes);
  if (exists) {
    ::fchmod(fd.get(), old.st_mode & 07777);
    // The group too, where this user may give it; a failure leaves the folder's group.
    if (::fchown(fd.get(), static_cast<uid_t>(-1), old.st_gid) != 0) errno = 0;
  }
  const bool written = write_all(fd.get(), bytes) && ::fsync(fd.get()) == 0;
  if (!fd.close() || !written || !temporary.rename_to(file)) return false;
  sync_folder_of(file);
  return true;
}

OwnFile rewrite_own_file(const std::filesystem::path& file, std::string_view bytes,
                         std::string_view own_start) {
  ignore_write_signals();
  Descriptor fd(::open(file.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) {
    if (errno != ENOENT)
      return errno == EACCES || errno == EROFS ? OwnFile::failed : OwnFile::not_ours;
    // Created only if it is still missing: a file that appeared meanwhile is someone's.
    Descriptor created(
        ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (created.get() < 0) return errno == EEXIST ? OwnFile::not_ours : OwnFile::failed;
    const bool written = write_all(created.get(), bytes);
    return created.close() && written ? OwnFile::written : OwnFile::failed;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return OwnFile::failed;
  if (!S_ISREG(info.st_mode)) return OwnFile::not_ours;
  std::string start(own_start.size(), '\0');
  std::size_t got = 0;
  while (got < start.size()) {
    const ssize_t n =
        ::pread(fd.get(), start.data() + got, start.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got != start.size() || start != own_start) return OwnFile::not_ours;
  const bool written =
      write_all(fd.get(), bytes, 0) && ::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) == 0;
  return fd.close() && written ? OwnFile::written : OwnFile::failed;
}

Append append_record(const std::filesystem::path& file, std::string_view record) {
  ignore_write_signals();
  // Non-blocking: a pipe without a reader fails at once (ENXIO) instead of waiting.
  Descriptor fd(::open(file.c_str(),
                       O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666));
  if (fd.get() < 0) {
    return errno == ENXIO || errno == EISDIR ? Append::not_regular : Append::failed;
  }
  if (!record.empty()) {
    // Held until the file is closed. Where the file system has no locks, the record still
    // goes out in one write, as it did before there were locks.
    while (::flock(fd.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
    const std::size_t written = write_some(fd.get(), record);
    if (written != record.size()) {
      // Under the lock, the bytes at the end beyond the record's start are this record's.
      struct stat info {};
      if (written > 0 && ::fstat(fd.get(), &info) == 0 &&
          info.st_size >= static_cast<off_t>(written)) {
        if (::ftruncate(fd.get(), info.st_size - static_cast<off_t>(written)) != 0) errno = 0;
      }
      return Append::failed;
    }
  }
  return fd.close() ? Append::written : Append::failed;
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

bool is_link(const std::filesystem::directory_entry& entry) {
  std::error_code ignored;  // a name that is gone by now is no link to follow
  return entry.is_symlink(ignored);
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
  const int fd = ::openat(static_cast<int>(folder.handle_), terminated.c_str(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (follow ? 0 : O_NOFOLLOW));
  if (fd < 0) {
    if (errno == ENOMEM) throw_no_memory();
    return;
  }
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

bool file_id(const std::filesystem::path& file, FileId& id) {
  struct stat info {};
  if (::lstat(file.c_str(), &info) != 0) return false;
  id = id_of(info);
  return true;
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
  const int fd = ::openat(static_cast<int>(handle_), terminated.c_str(),
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
  const int fd = ::openat(static_cast<int>(handle_), "..",
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
  const int fd =
      ::openat(static_cast<int>(handle_), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
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

}  // namespace orven::platform
