/* Capture end of the trigger benchmark, run by ALSA's file device as `file "|first_byte LOG"`:
 * reads what the sound device is given and appends to LOG one line per onset, "onset <ns>", the
 * wall-clock time (CLOCK_REALTIME, the clock Wine's local time is read from) at which the first
 * non-zero byte after at least GAP_MS of silence or of no data arrived. Built for the host by the
 * benchmark's script; kept tiny so that starting it adds nothing to what it measures. */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#define GAP_MS 400

static long long now_ns(void) {
  struct timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  FILE* log = fopen(argv[1], "a");
  if (!log) return 1;
  fprintf(log, "open %lld\n", now_ns());
  fflush(log);
  static unsigned char buffer[1 << 16];
  long long last_sound = -1;
  for (;;) {
    ssize_t n = read(0, buffer, sizeof buffer);
    if (n <= 0) break;
    const long long at = now_ns();
    int sound = 0;
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] != 0) {
        sound = 1;
        break;
      }
    }
    if (!sound) continue;
    if (last_sound < 0 || at - last_sound > GAP_MS * 1000000LL) {
      fprintf(log, "onset %lld\n", at);
      fflush(log);
    }
    last_sound = at;
  }
  fclose(log);
  return 0;
}
