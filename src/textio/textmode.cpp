// The text-mode stream under every unit. POSIX stdio reads bytes as they
// are; the program reads text the way its home platform does: a CR directly
// before an LF belongs to the line end, and a Ctrl-Z byte ends the input.
#include <cstdio>

#include "textio/internal.h"

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

int unit_getc(unit* u) {
  if (u->uend) return EOF;
  int c = tm_getc(u);
  if (c == EOF && !ferror(u->ufd)) u->uend = true;
  return c;
}

void tm_ungetc(unit* u, int c) {
  if (c != EOF) u->upush = c;
}

void tm_reset(unit* u) {
  u->upush = NO_CHAR;
  u->ula = NO_CHAR;
  u->uctrlz = false;
}
