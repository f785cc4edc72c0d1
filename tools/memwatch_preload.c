/* Loaded into the music disk by tools/memwatch.sh (LD_PRELOAD): a thread
   that appends malloc's own totals to $MEMWATCH_LOG every $MEMWATCH_EVERY
   seconds, so that sampling needs no debugger stopping the program. */
#include <malloc.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

static char path[4096];
static unsigned seconds = 10;

static void* Sample(void* unused) {
  (void)unused;
  struct timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    struct mallinfo2 m = mallinfo2();
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    FILE* f = fopen(path, "a");
    if (f) {
      /* seconds, in use (small + mmapped), arena bytes, mmapped bytes, free */
      fprintf(f, "%ld %zu %zu %zu %zu\n", (long)(now.tv_sec - start.tv_sec), m.uordblks + m.hblkhd, m.arena,
              m.hblkhd, m.fordblks);
      fclose(f);
    }
    sleep(seconds);
  }
  return NULL;
}

__attribute__((constructor)) static void Start(void) {
  const char* log = getenv("MEMWATCH_LOG");
  const char* every = getenv("MEMWATCH_EVERY");
  if (!log) return;
  snprintf(path, sizeof path, "%s", log);
  if (every && atoi(every) > 0) seconds = (unsigned)atoi(every);
  /* Programs this one starts (the display guardian) are not sampled. */
  unsetenv("MEMWATCH_LOG");
  unsetenv("LD_PRELOAD");
  pthread_t t;
  if (pthread_create(&t, NULL, Sample, NULL) == 0) pthread_detach(t);
}
