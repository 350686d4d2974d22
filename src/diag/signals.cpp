// The signal handlers.
//
// The handlers run the exit path (closing every unit, which flushes, cuts,
// closes streams and frees) from wherever the signal lands, which is not
// async-signal-safe. A handler never returns, so what it interrupts is
// never resumed; the hazards are the locks and half-done updates the exit
// path meets again:
// - the allocator's lock is not recursive: an interrupt inside malloc or
//   free would wait for it for ever. SIGINT and SIGTERM are therefore held
//   off around every allocation and free after start-up (f__alloc,
//   f__realloc, f__free, the opens and closes of f__fopen, f__fdopen and
//   f_clos, the closing pass of f_exit), and the streams' buffers are
//   static. Never around a wait that may not end: a named pipe's open
//   waits for its writer with interrupts free;
// - a table record half handed over, or a table stream being closed, would
//   leave a part of a row or close a stream twice: held off around the
//   record's write and the close as well;
// - an interrupted console read or write is left as it is: stdio's stream
//   locks are recursive for the one thread, and console output is not
//   checked.
// SIGFPE and SIGABRT are not held off: they come from the program itself
// (an arithmetic trap, the report's abort), not from outside.
#include <csignal>

#include "diag/diag.h"

static void sigfdie(int) { sig_die("Floating Exception", 1); }
static void sigidie(int) { sig_die("IOT Trap", 1); }
static void sigindie(int) { sig_die("Interrupt", 0); }
static void sigtdie(int) { sig_die("Killed", 0); }

void f_setsig() {
  signal(SIGFPE, sigfdie);
  signal(SIGABRT, sigidie);
  // An interrupt ignored by whoever started the process stays ignored. The
  // present action is only looked at: setting SIG_IGN to learn it would
  // throw away an interrupt that came at that moment.
  struct sigaction now;
  if (sigaction(SIGINT, nullptr, &now) != 0 || now.sa_handler != SIG_IGN) signal(SIGINT, sigindie);
  signal(SIGTERM, sigtdie);
}
