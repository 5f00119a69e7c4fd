/* Time from starting a window program to its first painted window: watches the root window
 * for a window of class "orven" to be mapped, then polls one pixel of the blue panel until it
 * has the panel's colour. Several programs are timed in one run with their starts
 * interleaved (round by round, each round in a rotated order), so that a busy machine slows
 * them alike. For each it prints the milliseconds of every start and the CPU time (user +
 * system, all threads) the program had used by its first paint and by its end right after
 * it, then the best, median and worst first paint, the median and best CPU by the paint and
 * the median CPU per start. One untimed start of each comes first.
 *
 * usage: first_paint PROGRAM [STARTS]
 *        first_paint --starts STARTS NAME PROGRAM [NAME PROGRAM...]
 * (DISPLAY must name a running X server) */
#define _POSIX_C_SOURCE 200809L
#define _DEFAULT_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { kTimeoutMs = 20000 };

typedef struct {
  const char* name;
  const char* path;
  double* paint_ms;
  double* paint_cpu_ms;
  double* cpu_ms;
} Program;

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static int is_orven(Display* d, Window w) {
  XClassHint hint;
  if (!XGetClassHint(d, w, &hint)) return 0;
  const int yes = hint.res_name && strcmp(hint.res_name, "orven") == 0;
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return yes;
}

static int panel_painted(Display* d, Window w) {
  XImage* image = XGetImage(d, w, 5, 300, 1, 1, AllPlanes, ZPixmap);
  if (!image) return 0;
  const unsigned long pixel = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return (pixel & 0xFFFFFF) == 0x2C3AC1;
}

static int compare(const void* a, const void* b) {
  const double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

/* Sorts the values; the median is that of an odd count, or the mean of the middle two. */
static double median(double* values, int count) {
  qsort(values, (size_t)count, sizeof *values, compare);
  return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2;
}

/* A program that ends, or never shows its window, stops the benchmark: its figures would be
 * those of a failure. */
static void fail(const Program* p, const char* what) {
  fprintf(stderr, "first_paint: %s (%s) %s\n", p->name, p->path, what);
  exit(1);
}

static int child_ended(pid_t child) {
  int status;
  return waitpid(child, &status, WNOHANG) == child;
}

/* One start: the milliseconds to the painted panel, the CPU time the program had used by
 * then (all its threads), and the CPU time of the whole start. */
static void time_start(Display* d, const Program* p, double* paint_ms, double* paint_cpu_ms,
                       double* cpu_ms) {
  XSync(d, True);
  const double start = now_ms();
  const pid_t child = fork();
  if (child < 0) fail(p, "could not be started");
  if (child == 0) {
    execl(p->path, p->path, (char*)NULL);
    _exit(127);
  }
  Window window = 0;
  while (!window) {
    while (!window && XPending(d)) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == MapNotify && is_orven(d, e.xmap.window)) window = e.xmap.window;
    }
    if (window) break;
    struct pollfd x = {ConnectionNumber(d), POLLIN, 0};
    poll(&x, 1, 10);
    if (child_ended(child)) fail(p, "ended before showing its window");
    if (now_ms() - start > kTimeoutMs) {
      kill(child, SIGKILL);
      fail(p, "showed no window");
    }
  }
  const struct timespec pause = {0, 200000};
  while (!panel_painted(d, window)) {
    if (child_ended(child)) fail(p, "ended before painting its window");
    if (now_ms() - start > kTimeoutMs) {
      kill(child, SIGKILL);
      fail(p, "never painted its panel");
    }
    nanosleep(&pause, NULL);
  }
  *paint_ms = now_ms() - start;
  clockid_t clock;
  struct timespec used;
  if (clock_getcpuclockid(child, &clock) != 0 || clock_gettime(clock, &used) != 0) {
    fail(p, "has no CPU clock to read");
  }
  *paint_cpu_ms = used.tv_sec * 1e3 + used.tv_nsec / 1e6;
  kill(child, SIGTERM);
  int status;
  struct rusage usage;
  if (wait4(child, &status, 0, &usage) != child) fail(p, "could not be waited for");
  *cpu_ms = usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 +
            usage.ru_stime.tv_sec * 1e3 + usage.ru_stime.tv_usec / 1e3;
}

static void usage(const char* self) {
  fprintf(stderr,
          "usage: %s PROGRAM [STARTS]\n"
          "       %s --starts STARTS NAME PROGRAM [NAME PROGRAM...]\n",
          self, self);
  exit(2);
}

int main(int argc, char** argv) {
  int starts = 10;
  int count = 0;
  Program* programs = NULL;
  if (argc >= 2 && strcmp(argv[1], "--starts") == 0) {
    if (argc < 5 || (argc - 3) % 2 != 0) usage(argv[0]);
    starts = atoi(argv[2]);
    count = (argc - 3) / 2;
    programs = calloc((size_t)count, sizeof *programs);
    for (int i = 0; i < count; ++i) {
      programs[i].name = argv[3 + 2 * i];
      programs[i].path = argv[4 + 2 * i];
    }
  } else {
    if (argc < 2 || argc > 3) usage(argv[0]);
    if (argc > 2) starts = atoi(argv[2]);
    count = 1;
    programs = calloc(1, sizeof *programs);
    programs[0].name = "orven";
    programs[0].path = argv[1];
  }
  if (starts < 1 || !programs) usage(argv[0]);
  Display* d = XOpenDisplay(NULL);
  if (!d) {
    fprintf(stderr, "no display\n");
    return 1;
  }
  for (int i = 0; i < count; ++i) {
    programs[i].paint_ms = calloc((size_t)starts, sizeof(double));
    programs[i].paint_cpu_ms = calloc((size_t)starts, sizeof(double));
    programs[i].cpu_ms = calloc((size_t)starts, sizeof(double));
  }
  XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
  /* One start of each, untimed: the files are in the page cache, and the display has seen
   * a GTK program, as a desktop's display has (the first GTK program on a display asks the
   * OpenGL driver for its visuals and leaves the answer on the root window for the rest). */
  for (int i = 0; i < count; ++i) {
    double paint_ms, paint_cpu_ms, cpu_ms;
    time_start(d, &programs[i], &paint_ms, &paint_cpu_ms, &cpu_ms);
  }
  for (int run = 0; run < starts; ++run) {
    printf("start %d:", run + 1);
    for (int k = 0; k < count; ++k) {
      const int i = (run + k) % count;
      time_start(d, &programs[i], &programs[i].paint_ms[run], &programs[i].paint_cpu_ms[run],
                 &programs[i].cpu_ms[run]);
    }
    for (int i = 0; i < count; ++i) {
      printf(" %s %.1f ms (CPU %.1f ms, %.1f ms in all)%s", programs[i].name,
             programs[i].paint_ms[run], programs[i].paint_cpu_ms[run], programs[i].cpu_ms[run],
             i + 1 < count ? "," : "\n");
    }
    fflush(stdout);
  }
  printf("%-28s %8s %8s %8s   %-19s %s\n", "first paint, ms:", "best", "median", "worst",
         "CPU by then: median", "best   CPU per start: median");
  for (int i = 0; i < count; ++i) {
    double* t = programs[i].paint_ms;
    double* c = programs[i].paint_cpu_ms;
    const double paint = median(t, starts);
    const double cpu = median(c, starts);
    printf("%-28s %8.1f %8.1f %8.1f   %19.1f %6.1f   %21.1f\n", programs[i].name, t[0], paint,
           t[starts - 1], cpu, c[0], median(programs[i].cpu_ms, starts));
  }
  printf(
      "(%d starts of each%s; CPU: user + system of all the program's threads, by the first\n"
      "paint and from exec to the end right after it)\n",
      starts, count > 1 ? ", interleaved" : "");
  for (int i = 0; i < count; ++i) {
    free(programs[i].paint_ms);
    free(programs[i].paint_cpu_ms);
    free(programs[i].cpu_ms);
  }
  free(programs);
  XCloseDisplay(d);
  return 0;
}
