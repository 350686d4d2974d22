// A record handed to its unit's stream: a named file (the table) gets each
// record in a write of its own, checked; the console is not checked.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "diag/diag.h"
#include "textio/internal.h"

void f__write_failed(unit* u, int err, long pos) {
  if (pos >= 0 && u->useek) {
    int fd = fileno(u->ufd);
    if (ftruncate(fd, pos) == 0) lseek(fd, pos, SEEK_SET);
  }
  f__curunit = u;
  f__fatal(err, "write");
}

namespace {

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
  if (fflush(u->ufd) != 0) f__write_failed(u, errno, -1);
  int fd = fileno(u->ufd);
  off_t pos = lseek(fd, 0, SEEK_CUR);  // -1 for a pipe, which has none
  if (!u->ucut) {
    u->ucut = true;
    cut_old_tail(u, fd, pos);
  }
  for (size_t done = 0; done < n;) {
    ssize_t k = write(fd, s + done, n - done);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) f__write_failed(u, k < 0 ? errno : EIO, pos);
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
