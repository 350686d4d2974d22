// Closing a unit, and the closing pass over every unit at exit.
#include <cerrno>

#include "diag/diag.h"
#include "textio/internal.h"

namespace {

// Close unit n. From the run (at_exit false) any failure to bring a written
// file's bytes onto it is fatal: the cut ("endfile") and the close; at exit
// every failure is ignored.
int close_unit(int n, bool at_exit) {
  if (n < 0 || n >= MXUNIT) return 0;
  unit* u = &f__units[n];
  if (u->ufd != nullptr) {
    // A named file's records never wait in the stream's buffer (each went
    // to the system in a write of its own), so the close is what is left
    // to check.
    bool check = u->uwrt && u->ufnm != nullptr && !at_exit;
    if (u->uwrt && t_runc(u) != 0 && !at_exit) f__fatal(ERR_TRUNCATE, "endfile");
    if (u->ufnm != nullptr) {
      int rc = fclose(u->ufd);
      int err = errno;
      u->ufd = nullptr;  // closed, even when the close failed
      if (rc != 0 && check) f__write_failed(u, err);
      f__free(u->ufnm);
      u->ufnm = nullptr;
    }
  } else if (u->ufnm != nullptr) {
    f__free(u->ufnm);
    u->ufnm = nullptr;
  }
  u->ufd = nullptr;
  u->uend = false;
  tm_reset(u);
  return 0;
}

}  // namespace

int f_clos(int n) {
  if (f__init == io_mark::busy) f__fatal(ERR_RECURSION, "I/O recursion");
  hold_signals hold;  // an interrupt must not close the unit a second time
  return close_unit(n, false);
}

void f_exit() {
  if (f__init == io_mark::uninit) return;
  f__init = io_mark::idle;
  if (f__exit_done) return;
  f__exit_done = true;
  hold_signals hold;  // closing frees: an interrupt must not land in free
  for (int i = 0; i < MXUNIT; ++i) close_unit(i, true);
}
