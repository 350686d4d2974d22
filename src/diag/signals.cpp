// The signal handlers.
#include <csignal>

#include "diag/diag.h"

static void sigfdie(int) { sig_die("Floating Exception", 1); }
static void sigidie(int) { sig_die("IOT Trap", 1); }
static void sigindie(int) { sig_die("Interrupt", 0); }
static void sigtdie(int) { sig_die("Killed", 0); }

void f_setsig() {
  signal(SIGFPE, sigfdie);
  signal(SIGABRT, sigidie);
  // An interrupt ignored by whoever started the process stays ignored.
  if (signal(SIGINT, SIG_IGN) != SIG_IGN) signal(SIGINT, sigindie);
  signal(SIGTERM, sigtdie);
}
