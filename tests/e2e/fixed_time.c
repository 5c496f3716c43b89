/* Test-only preload library: time() returns $DOMTARN_FIXED_TIME when it is set,
 * so every srand(time(nullptr)) of the program draws the same numbers. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <time.h>

time_t time(time_t *out) {
  const char *fixed = getenv("DOMTARN_FIXED_TIME");
  time_t now;
  if (fixed != NULL) {
    now = (time_t)strtoll(fixed, NULL, 10);
  } else {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    now = ts.tv_sec;
  }
  if (out != NULL) *out = now;
  return now;
}
