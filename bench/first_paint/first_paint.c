/* Time from starting orven to its first painted window: watches the root window for the
 * window of class "orven" to be mapped, then polls one pixel of the blue panel until it has
 * the panel's colour. Prints the milliseconds of each start, then min / median / max.
 *
 * usage: first_paint ORVEN [RUNS]   (DISPLAY must name a running X server) */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

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

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s ORVEN [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 2 ? atoi(argv[2]) : 10;
  Display* d = XOpenDisplay(NULL);
  if (!d) {
    fprintf(stderr, "no display\n");
    return 1;
  }
  double* times = calloc((size_t)runs, sizeof *times);
  XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
  for (int run = 0; run < runs; ++run) {
    XSync(d, True);
    const double start = now_ms();
    const pid_t child = fork();
    if (child == 0) {
      execl(argv[1], argv[1], (char*)NULL);
      _exit(127);
    }
    Window window = 0;
    while (!window) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == MapNotify && is_orven(d, e.xmap.window)) window = e.xmap.window;
    }
    const struct timespec pause = {0, 200000};
    while (!panel_painted(d, window)) nanosleep(&pause, NULL);
    times[run] = now_ms() - start;
    printf("start %d: %.1f ms\n", run + 1, times[run]);
    kill(child, SIGTERM);
    waitpid(child, NULL, 0);
  }
  qsort(times, (size_t)runs, sizeof *times, compare);
  printf("first painted window: min %.1f ms, median %.1f ms, max %.1f ms (%d starts)\n", times[0],
         times[runs / 2], times[runs - 1], runs);
  free(times);
  XCloseDisplay(d);
  return 0;
}
