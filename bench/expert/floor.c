/* The floor of expert mode: for every pass of the run, open the log for appending, write
 * the line's precomputed log text (if it has one) and close the log again; nothing else.
 * With --lock, each write is made under an exclusive flock, as runs that share a log need.
 *   expert_bench_floor EXPECTED [--lock]
 *   (EXPECTED is expected.bin from expert_bench_gen; writes orven_log.txt) */
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: expert_bench_floor EXPECTED [--lock]\n");
    return 2;
  }
  const int lock = argc > 2 && strcmp(argv[2], "--lock") == 0;
  FILE* in = fopen(argv[1], "rb");
  if (in == NULL) return 1;
  fseek(in, 0, SEEK_END);
  const long size = ftell(in);
  fseek(in, 0, SEEK_SET);
  char* data = malloc((size_t)size);
  if (data == NULL || fread(data, 1, (size_t)size, in) != (size_t)size) return 1;
  fclose(in);

  long passes = 0;
  for (long at = 0; at + 4 <= size;) {
    uint32_t n;
    memcpy(&n, data + at, sizeof n);
    at += 4;
    const int fd = open("orven_log.txt", O_WRONLY | O_CREAT | O_APPEND, 0666);
    if (fd < 0) return 1;
    if (n != 0 && lock && flock(fd, LOCK_EX) != 0) return 1;
    if (n != 0 && write(fd, data + at, n) != (ssize_t)n) return 1;
    close(fd);
    at += n;
    ++passes;
  }
  free(data);
  printf("floor: %ld passes\n", passes);
  return 0;
}
