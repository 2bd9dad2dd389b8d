/* The trigger benchmark's witness of the machine itself: a native process that asks to wake every
 * millisecond and logs, to LOG, each wake that came more than 1 ms late, "stall <ns> <late_us>"
 * (CLOCK_REALTIME at the wake, as first_byte stamps). A bell that was late while this process,
 * which does nothing else, was held up as long, was late for the machine, not for Belvane. Runs
 * until killed. */
#include <stdio.h>
#include <time.h>

static long long ns_of(const struct timespec* t) {
  return (long long)t->tv_sec * 1000000000LL + t->tv_nsec;
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  FILE* log = fopen(argv[1], "a");
  if (!log) return 1;
  const struct timespec tick = {0, 1000000};
  for (;;) {
    struct timespec before, after, wall;
    clock_gettime(CLOCK_MONOTONIC, &before);
    clock_nanosleep(CLOCK_MONOTONIC, 0, &tick, NULL);
    clock_gettime(CLOCK_MONOTONIC, &after);
    const long long late_us = (ns_of(&after) - ns_of(&before) - 1000000LL) / 1000;
    if (late_us > 1000) {
      clock_gettime(CLOCK_REALTIME, &wall);
      fprintf(log, "stall %lld %lld\n", ns_of(&wall), late_us);
      fflush(log);
    }
  }
}
