/* A preloaded shim that makes one I/O call of a run fail, so that every failure the platform
 * layer can meet is met once by a test (as SQLite's I/O-error tests fail the Nth call).
 *
 * Only the run's own files count: paths that are relative or lie below $ORVEN_FAULT_ROOT,
 * the descriptors opened on them and the folders listed there. The loader's and the C
 * library's own files, standard input, output and error are never touched.
 *
 *   ORVEN_FAULT_ROOT   the folder whose files count (absolute)
 *   ORVEN_FAULT_AT     N: the Nth call that the error applies to fails; 0 or unset only counts
 *   ORVEN_FAULT_ERROR  EIO, ENOSPC, EINTR or SHORT (a read or write of part of what was asked),
 *                      or SIG<number>: the signal is raised just before the Nth call
 *   ORVEN_FAULT_REPORT a file that gets "CALLS INJECTED NAME BYTES_READ" when the process ends
 *   ORVEN_FAULT_NO_TMPFILE  set: open(O_TMPFILE) fails with EOPNOTSUPP, as on a file system
 *                      without unnamed files (not counted)
 *
 * A call counts only for the errors it can meet: ENOSPC for what makes or grows a file,
 * EINTR for what may block (and is retried by careful callers), SHORT for reads and writes
 * of more than one byte, EIO for all of them. The process itself is never built with this:
 * production pays nothing. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

enum kind { K_EIO, K_ENOSPC, K_EINTR, K_SHORT, K_SIGNAL };
enum { C_GROWS = 1, C_BLOCKS = 2, C_TRANSFER = 4 };

static int g_kind = K_EIO;
static int g_signal = 0;
static long g_at = 0;
static atomic_long g_calls;
static atomic_int g_injected;
static atomic_llong g_bytes_read;
static const char* g_root = NULL;
static size_t g_root_len = 0;
static int g_no_tmpfile = 0;
static const char* g_report = NULL;
static char g_injected_name[64];

#define MAX_FD 4096
static atomic_char g_tracked[MAX_FD];
#define MAX_DIRS 64
static DIR* _Atomic g_dirs[MAX_DIRS];

__attribute__((constructor)) static void setup(void) {
  const char* e = getenv("ORVEN_FAULT_ERROR");
  if (e != NULL) {
    if (strcmp(e, "ENOSPC") == 0) g_kind = K_ENOSPC;
    if (strcmp(e, "EINTR") == 0) g_kind = K_EINTR;
    if (strcmp(e, "SHORT") == 0) g_kind = K_SHORT;
    if (strncmp(e, "SIG", 3) == 0) {
      g_kind = K_SIGNAL;
      g_signal = atoi(e + 3);
    }
  }
  const char* at = getenv("ORVEN_FAULT_AT");
  if (at != NULL) g_at = atol(at);
  g_root = getenv("ORVEN_FAULT_ROOT");
  if (g_root != NULL) g_root_len = strlen(g_root);
  g_no_tmpfile = getenv("ORVEN_FAULT_NO_TMPFILE") != NULL;
  g_report = getenv("ORVEN_FAULT_REPORT");
}

/* Written with raw system calls, so that the report itself is never counted. */
__attribute__((destructor)) static void report(void) {
  if (g_report == NULL) return;
  char line[160];
  const int n = snprintf(line, sizeof line, "%ld %d %s %lld\n", atomic_load(&g_calls),
                         atomic_load(&g_injected), g_injected_name[0] ? g_injected_name : "-",
                         atomic_load(&g_bytes_read));
  const int fd = (int)syscall(SYS_openat, AT_FDCWD, g_report, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  syscall(SYS_write, fd, line, (size_t)n);
  syscall(SYS_close, fd);
}

static void* next(const char* name) {
  return dlsym(RTLD_NEXT, name);
}
#define REAL(ret, name, ...)              \
  static ret (*real)(__VA_ARGS__) = NULL; \
  if (real == NULL) real = (ret(*)(__VA_ARGS__))next(name)

static int counted_path(int dirfd, const char* path) {
  if (path == NULL) return 0;
  if (path[0] != '/') {
    return dirfd == AT_FDCWD || (dirfd >= 0 && dirfd < MAX_FD && atomic_load(&g_tracked[dirfd]));
  }
  if (strncmp(path, "/proc/self/fd/", 14) == 0) return 1;
  return g_root_len > 0 && strncmp(path, g_root, g_root_len) == 0 &&
         (path[g_root_len] == '/' || path[g_root_len] == '\0');
}

static int counted_fd(int fd) {
  return fd > 2 && fd < MAX_FD && atomic_load(&g_tracked[fd]);
}

static void track(int fd, int on) {
  if (fd > 2 && fd < MAX_FD) atomic_store(&g_tracked[fd], (char)on);
}

/* Whether this call is the one to fail: 1 fails it with the error (errno set), 2 makes it
 * short; 0 lets it through. */
static int strike(const char* name, int caps, size_t size) {
  int applies = 1;
  if (g_kind == K_ENOSPC) applies = (caps & C_GROWS) != 0;
  if (g_kind == K_EINTR) applies = (caps & C_BLOCKS) != 0;
  if (g_kind == K_SHORT) applies = (caps & C_TRANSFER) != 0 && size > 1;
  if (!applies) return 0;
  const long n = atomic_fetch_add(&g_calls, 1) + 1;
  if (n != g_at) return 0;
  atomic_store(&g_injected, 1);
  snprintf(g_injected_name, sizeof g_injected_name, "%s", name);
  if (g_kind == K_SIGNAL) {
    report();
    raise(g_signal);
    return 0;
  }
  if (g_kind == K_SHORT) return 2;
  errno = g_kind == K_EIO ? EIO : g_kind == K_ENOSPC ? ENOSPC : EINTR;
  return 1;
}

/* A folder is never a slow device: its open does not wait and so is never interrupted. */
static int open_caps(int flags) {
  return ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? C_GROWS : 0) |
         ((flags & O_DIRECTORY) && (flags & O_TMPFILE) != O_TMPFILE ? 0 : C_BLOCKS);
}

static int do_openat(int dirfd, const char* path, int flags, mode_t mode) {
  REAL(int, "openat", int, const char*, int, ...);
  const int counted = counted_path(dirfd, path);
  if (counted && (flags & O_TMPFILE) == O_TMPFILE && g_no_tmpfile) {
    errno = EOPNOTSUPP;
    return -1;
  }
  if (counted && strike("open", open_caps(flags), 0) == 1) return -1;
  const int fd = real(dirfd, path, flags, mode);
  if (counted && fd >= 0) track(fd, 1);
  return fd;
}

#define MODE_ARG                                               \
  mode_t mode = 0;                                             \
  if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) { \
    va_list ap;                                                \
    va_start(ap, flags);                                       \
    mode = va_arg(ap, mode_t);                                 \
    va_end(ap);                                                \
  }

int open(const char* path, int flags, ...) {
  MODE_ARG
  return do_openat(AT_FDCWD, path, flags, mode);
}
int open64(const char* path, int flags, ...) {
  MODE_ARG
  return do_openat(AT_FDCWD, path, flags, mode);
}
int openat(int dirfd, const char* path, int flags, ...) {
  MODE_ARG
  return do_openat(dirfd, path, flags, mode);
}
int openat64(int dirfd, const char* path, int flags, ...) {
  MODE_ARG
  return do_openat(dirfd, path, flags, mode);
}

int close(int fd) {
  REAL(int, "close", int);
  if (!counted_fd(fd)) return real(fd);
  track(fd, 0);
  /* The descriptor is gone whatever close says, as on Linux. */
  const int fail = strike("close", 0, 0);
  const int r = real(fd);
  if (fail == 1) return -1;
  return r;
}

static ssize_t transfer(const char* name, int fd, size_t* count, int grows) {
  if (!counted_fd(fd)) return 0;
  const int s = strike(name, C_BLOCKS | C_TRANSFER | (grows ? C_GROWS : 0), *count);
  if (s == 1) return -1;
  if (s == 2) *count /= 2;
  return 0;
}

static ssize_t count_read(int fd, ssize_t got) {
  if (got > 0 && counted_fd(fd)) atomic_fetch_add(&g_bytes_read, got);
  return got;
}

ssize_t read(int fd, void* buf, size_t count) {
  REAL(ssize_t, "read", int, void*, size_t);
  if (transfer("read", fd, &count, 0) < 0) return -1;
  return count_read(fd, real(fd, buf, count));
}
ssize_t pread(int fd, void* buf, size_t count, off_t offset) {
  REAL(ssize_t, "pread", int, void*, size_t, off_t);
  if (transfer("pread", fd, &count, 0) < 0) return -1;
  return count_read(fd, real(fd, buf, count, offset));
}
ssize_t pread64(int fd, void* buf, size_t count, off_t offset) {
  return pread(fd, buf, count, offset);
}
ssize_t write(int fd, const void* buf, size_t count) {
  REAL(ssize_t, "write", int, const void*, size_t);
  if (transfer("write", fd, &count, 1) < 0) return -1;
  return real(fd, buf, count);
}
ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
  REAL(ssize_t, "pwrite", int, const void*, size_t, off_t);
  if (transfer("pwrite", fd, &count, 1) < 0) return -1;
  return real(fd, buf, count, offset);
}
ssize_t pwrite64(int fd, const void* buf, size_t count, off_t offset) {
  return pwrite(fd, buf, count, offset);
}

int fsync(int fd) {
  REAL(int, "fsync", int);
  if (counted_fd(fd) && strike("fsync", C_GROWS, 0) == 1) return -1;
  return real(fd);
}
int fdatasync(int fd) {
  REAL(int, "fdatasync", int);
  if (counted_fd(fd) && strike("fdatasync", C_GROWS, 0) == 1) return -1;
  return real(fd);
}
int ftruncate(int fd, off_t length) {
  REAL(int, "ftruncate", int, off_t);
  if (counted_fd(fd) && strike("ftruncate", C_GROWS | C_BLOCKS, 0) == 1) return -1;
  return real(fd, length);
}
int ftruncate64(int fd, off_t length) {
  return ftruncate(fd, length);
}
int flock(int fd, int operation) {
  REAL(int, "flock", int, int);
  if (counted_fd(fd) && strike("flock", C_BLOCKS, 0) == 1) return -1;
  return real(fd, operation);
}

int rename(const char* from, const char* to) {
  REAL(int, "rename", const char*, const char*);
  if (counted_path(AT_FDCWD, to) && strike("rename", C_GROWS, 0) == 1) return -1;
  return real(from, to);
}
int renameat(int fromfd, const char* from, int tofd, const char* to) {
  REAL(int, "renameat", int, const char*, int, const char*);
  if (counted_path(tofd, to) && strike("renameat", C_GROWS, 0) == 1) return -1;
  return real(fromfd, from, tofd, to);
}
int link(const char* from, const char* to) {
  REAL(int, "link", const char*, const char*);
  if (counted_path(AT_FDCWD, to) && strike("link", C_GROWS, 0) == 1) return -1;
  return real(from, to);
}
int linkat(int fromfd, const char* from, int tofd, const char* to, int flags) {
  REAL(int, "linkat", int, const char*, int, const char*, int);
  if (counted_path(tofd, to) && strike("linkat", C_GROWS, 0) == 1) return -1;
  return real(fromfd, from, tofd, to, flags);
}

static void track_dir(DIR* dir, int on) {
  for (int i = 0; i < MAX_DIRS; ++i) {
    DIR* expected = on ? NULL : dir;
    if (atomic_compare_exchange_strong(&g_dirs[i], &expected, on ? dir : NULL)) return;
  }
}
static int counted_dir(DIR* dir) {
  for (int i = 0; i < MAX_DIRS; ++i) {
    if (atomic_load(&g_dirs[i]) == dir) return 1;
  }
  return 0;
}

DIR* opendir(const char* path) {
  REAL(DIR*, "opendir", const char*);
  const int counted = counted_path(AT_FDCWD, path);
  if (counted && strike("opendir", 0, 0) == 1) return NULL;
  DIR* dir = real(path);
  if (counted && dir != NULL) track_dir(dir, 1);
  return dir;
}
DIR* fdopendir(int fd) {
  REAL(DIR*, "fdopendir", int);
  DIR* dir = real(fd);
  if (counted_fd(fd) && dir != NULL) track_dir(dir, 1);
  return dir;
}
int closedir(DIR* dir) {
  REAL(int, "closedir", DIR*);
  if (counted_dir(dir)) {
    track_dir(dir, 0);
    track(dirfd(dir), 0);
  }
  return real(dir);
}
struct dirent* readdir(DIR* dir) {
  REAL(struct dirent*, "readdir", DIR*);
  if (counted_dir(dir) && strike("readdir", 0, 0) == 1) return NULL;
  return real(dir);
}
struct dirent64* readdir64(DIR* dir) {
  REAL(struct dirent64*, "readdir64", DIR*);
  if (counted_dir(dir) && strike("readdir", 0, 0) == 1) return NULL;
  return real(dir);
}
