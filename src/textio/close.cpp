// Closing a unit, and the closing pass over every unit at exit.
#include <cerrno>
#include <cstdlib>

#include "diag/diag.h"
#include "textio/textio.h"

// Close unit n. From the run (at_exit false) a failed cut is fatal, and so
// is a table file whose buffered rows cannot be written out; at exit every
// failure is ignored.
static int close_unit(int n, bool at_exit) {
  if (n < 0 || n >= MXUNIT) return 0;
  unit* u = &f__units[n];
  if (u->ufd != nullptr) {
    if (u->uwrt && t_runc(u) != 0 && !at_exit) f__fatal(111, "endfile");
    if (u->ufnm != nullptr) {
      if (!at_exit && fflush(u->ufd) != 0) {
        f__curunit = u;
        f__fatal(errno, "write");
      }
      fclose(u->ufd);
      free(u->ufnm);
      u->ufnm = nullptr;
    }
  } else if (u->ufnm != nullptr) {
    free(u->ufnm);
    u->ufnm = nullptr;
  }
  u->ufd = nullptr;
  u->uend = false;
  tm_reset(u);
  return 0;
}

int f_clos(int n) {
  if (f__init == io_mark::busy) f__fatal(131, "I/O recursion");
  hold_signals hold;  // an interrupt must not close the unit a second time
  return close_unit(n, false);
}

void f_exit() {
  if (f__init == io_mark::uninit) return;
  f__init = io_mark::idle;
  if (f__exit_done) return;
  f__exit_done = true;
  for (int i = 0; i < MXUNIT; ++i) close_unit(i, true);
}
