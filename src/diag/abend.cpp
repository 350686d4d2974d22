// The abnormal end.
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "diag/diag.h"
#include "textio/textio.h"

void sig_die(const char* s, int kill) {
  fprintf(stderr, "%s\n", s);
  if (kill) {
    fflush(stderr);
    f_exit();
    fflush(stderr);
    // The abort below must not come back through the "IOT Trap" handler.
    signal(SIGABRT, SIG_DFL);
    abort();
  }
  exit(1);
}
