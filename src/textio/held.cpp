// What the program does with SIGINT and SIGTERM held off: allocation and
// freeing, and opening a unit's file (the signal handlers' exit path frees
// and closes; see diag/signals.cpp for why it must not land in either).
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "textio/internal.h"

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

void* f__alloc(size_t n) {
  hold_signals hold;
  return malloc(n);
}

void* f__realloc(void* p, size_t n) {
  hold_signals hold;
  return realloc(p, n);
}

void f__free(void* p) {
  hold_signals hold;
  free(p);
}

// The stream's buffer is the unit's own, so that no read or write
// allocates one later, outside any hold.
static FILE* with_unit_buffer(unit* u, FILE* f) {
  if (f != nullptr) setvbuf(f, unit_buffer(u), isatty(fileno(f)) ? _IOLBF : _IOFBF, kUnitBuffer);
  return f;
}

FILE* f__fopen(unit* u, const char* mode, FILE* f) {
  hold_signals hold;
  return with_unit_buffer(u, f != nullptr ? freopen(u->ufnm, mode, f) : fopen(u->ufnm, mode));
}

FILE* f__fdopen(unit* u, int fd, const char* mode) {
  hold_signals hold;
  FILE* f = fdopen(fd, mode);
  if (f == nullptr) {
    int err = errno;
    close(fd);
    errno = err;
  }
  return with_unit_buffer(u, f);
}
