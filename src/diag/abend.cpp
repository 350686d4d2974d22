// The abnormal end.
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "diag/diag.h"

void sig_die(const char* s, int kill) {
  fprintf(stderr, "%s\n", s);
  if (kill) {
    fflush(stderr);
    if (f__close_io) f__close_io();
    fflush(stderr);
    // The abort below must not come back through the "IOT Trap" handler.
    signal(SIGABRT, SIG_DFL);
    abort();
  }
  exit(1);  // the exit handlers close the units
}
