// The text-mode stream under every unit. POSIX stdio reads bytes as they
// are; the program reads text the way its home platform does: a CR directly
// before an LF belongs to the line end, and a Ctrl-Z byte ends the input.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "diag/diag.h"
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

void unit_connect(unit* u, FILE* f, int acc, bool last_write) {
  u->ufd = f;
  u->ufmt = true;
  u->uacc = acc;
  u->uwrt = last_write;
  u->uend = false;
  u->ucut = false;
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

FILE* f__fopen(unit* u, const char* mode, FILE* f) {
  hold_signals hold;
  f = f != nullptr ? freopen(u->ufnm, mode, f) : fopen(u->ufnm, mode);
  // The stream's buffer is the unit's own, so that no read or write
  // allocates one later, outside any hold.
  if (f != nullptr) setvbuf(f, unit_buffer(u), isatty(fileno(f)) ? _IOLBF : _IOFBF, kUnitBuffer);
  return f;
}

namespace {

// A record of a named file that did not reach it whole: what part of it
// did is taken back, so that the file keeps whole records only, and the
// run ends through the report.
[[noreturn]] void write_failed(unit* u, int err, off_t pos) {
  int fd = fileno(u->ufd);
  if (pos >= 0 && u->useek && ftruncate(fd, pos) == 0) lseek(fd, pos, SEEK_SET);
  f__curunit = u;
  f__fatal(err, "write");
}

// The first record written over an older, longer file cuts it there, so
// that nothing of the older file ever stands after the new records. A
// failure here is met again, and reported, by the cut at the close.
void cut_old_tail(unit* u, int fd, off_t pos) {
  struct stat st;
  if (pos < 0 || !u->useek || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= pos)
    return;
  (void)!ftruncate(fd, pos);
}

// One record to a named file, handed to the system in one write (more only
// when the system takes a part of it), so that the file holds whole
// records whatever ends the run. The stream is flushed first, which also
// brings its descriptor to the stream's position and makes the stream
// learn its position from the descriptor afterwards.
void file_write(unit* u, const char* s, size_t n) {
  hold_signals hold;
  if (fflush(u->ufd) != 0) write_failed(u, errno, -1);
  int fd = fileno(u->ufd);
  off_t pos = lseek(fd, 0, SEEK_CUR);  // -1 for a pipe, which has none
  if (!u->ucut) {
    u->ucut = true;
    cut_old_tail(u, fd, pos);
  }
  for (size_t done = 0; done < n;) {
    ssize_t k = write(fd, s + done, n - done);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) write_failed(u, k < 0 ? errno : EIO, pos);
    done += static_cast<size_t>(k);
  }
}

}  // namespace

void f__write(unit* u, const char* s, size_t n) {
  if (u->ufnm != nullptr) {
    file_write(u, s, n);
    return;
  }
  // Console output is not checked.
  if (fwrite(s, 1, n, u->ufd) != n) clearerr(u->ufd);
}
