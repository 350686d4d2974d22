// The text-mode stream under every unit. POSIX stdio reads bytes as they
// are; the program reads text the way its home platform does: a CR directly
// before an LF belongs to the line end, and a Ctrl-Z byte ends the input.
#include <signal.h>

#include <cerrno>
#include <cstring>

#include "diag/diag.h"
#include "textio/iostate.h"

// The next raw byte: one held back after a CR first, then the stream.
static int raw_getc(unit* u) {
  if (u->ula != NO_CHAR) {
    int c = u->ula;
    u->ula = NO_CHAR;
    return c;
  }
  // The program has one thread, so the stream needs no lock per byte.
  return getc_unlocked(u->ufd);
}

int tm_getc(unit* u) {
  if (u->upush != NO_CHAR) {
    int c = u->upush;
    u->upush = NO_CHAR;
    return c;
  }
  if (u->uctrlz) return EOF;
  int c = raw_getc(u);
  if (c == 26) {
    u->uctrlz = true;
    return EOF;
  }
  if (c == '\r') {
    int next = raw_getc(u);
    if (next == '\n') return '\n';
    // Held back raw: a CR or a Ctrl-Z after it is looked at when it is read.
    u->ula = next;
  }
  return c;
}

void tm_ungetc(unit* u, int c) {
  if (c != EOF) u->upush = c;
}

void unit_connect(unit* u, FILE* f, int acc, bool last_write) {
  u->ufd = f;
  u->ufmt = true;
  u->uacc = acc;
  u->uwrt = last_write;
  u->uend = false;
  u->url = 0;
  u->ublnk = false;
  u->uscrtch = false;
  u->uwerr = false;
  tm_reset(u);
}

void tm_reset(unit* u) {
  u->upush = NO_CHAR;
  u->ula = NO_CHAR;
  u->uctrlz = false;
}

hold_signals::hold_signals() {
  sigset_t held;
  sigemptyset(&held);
  sigaddset(&held, SIGINT);
  sigaddset(&held, SIGTERM);
  sigprocmask(SIG_BLOCK, &held, &saved_);
}

hold_signals::~hold_signals() {
  sigprocmask(SIG_SETMASK, &saved_, nullptr);
}

void f__write(unit* u, const char* s, size_t n) {
  size_t done;
  if (u->ufnm != nullptr) {
    hold_signals hold;  // a table row reaches its stream whole or not at all
    done = fwrite(s, 1, n, u->ufd);
  } else {
    done = fwrite(s, 1, n, u->ufd);
  }
  if (done == n) return;
  // A failed write of a named file (the table) loses rows: it ends the run
  // through the report. Console output is not checked.
  int err = errno;
  clearerr(u->ufd);
  if (u->ufnm != nullptr) f__fatal(err, "write");
}
