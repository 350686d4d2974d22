// Connecting a unit to a file named by the user.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "diag/diag.h"
#include "textio/internal.h"

void g_char(const char* a, int len, char* out) {
  int n = len;
  while (n > 0 && a[n - 1] == ' ') --n;
  memcpy(out, a, n);
  out[n] = '\0';
}

// Not seekable: a terminal or any other character device (so /dev/null or
// /dev/full is never cut).
static bool stream_seekable(FILE* f) {
  struct stat st;
  int fd = fileno(f);
  if (isatty(fd)) return false;
  return fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode);
}

// Two files are the same file.
static bool same_file(int fd, int other) {
  struct stat a, b;
  return fstat(fd, &a) == 0 && fstat(other, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A named pipe is opened in one direction only: opened for both, the
// program would be a writer of its own pipe, and the end of its input would
// never come. A reader already waiting at the pipe (other than the
// program's own standard input) makes the program its writer: the table
// goes to that reader. Otherwise the program reads it, and the open waits
// for a writer for as long as none comes: outside any hold, so that an
// interrupt still ends the wait; only the stream, which allocates, is made
// held.
static FILE* fifo_open(unit* u) {
  int fd = open(u->ufnm, O_WRONLY | O_NONBLOCK);
  if (fd >= 0 && !same_file(fd, 0)) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    u->uacc = ACC_WRITE;
    u->uwrt = true;
    return f__fdopen(u, fd, "w");
  }
  if (fd >= 0) close(fd);
  fd = open(u->ufnm, O_RDONLY);
  if (fd < 0) return nullptr;
  u->uacc = ACC_READ;
  return f__fdopen(u, fd, "r");
}

int f_open(int n, const char* name, int len) {
  if (f__init != io_mark::idle) f_init();
  f__external = true;
  if (n < 0 || n >= MXUNIT) f__fatal(ERR_UNIT_NUMBER, "open");
  unit* u = &f__units[n];
  f__curunit = u;

  if (u->ufd != nullptr) {
    if (u->ufnm != nullptr && (int)strlen(u->ufnm) == len && memcmp(u->ufnm, name, len) == 0)
      return 0;
    int rc = f_clos(n);
    if (rc != 0) return rc;
    f__curunit = u;
  }
  unit_connect(u, nullptr, ACC_BOTH, false);

  // The formed name is stored before it is checked, so that the report for
  // an empty name shows the unit named by it (an empty name).
  f__free(u->ufnm);
  u->ufnm = static_cast<char*>(f__alloc(len + 1));
  if (u->ufnm == nullptr) f__fatal(ERR_NO_SPACE, "no space");
  g_char(name, len, u->ufnm);
  if (u->ufnm[0] == '\0') f__fatal(ERR_NULL_NAME, "open");

  // An existing file is never emptied: read/write first, then read only;
  // only a name that names no file is created. A named pipe is opened in
  // one direction (above).
  struct stat st;
  bool fifo = stat(u->ufnm, &st) == 0 && S_ISFIFO(st.st_mode);
  FILE* f = fifo ? fifo_open(u) : f__fopen(u, "r+");
  if (f == nullptr && !fifo) {
    f = f__fopen(u, "r");
    if (f != nullptr) {
      u->uacc = ACC_READ;
    } else if (errno == ENOENT) {
      f = f__fopen(u, "w");
      if (f != nullptr) {
        u->uacc = ACC_WRITE;
        u->uwrt = true;
      }
    }
  }
  if (f == nullptr) f__fatal(errno, "open");
  u->ufd = f;
  u->useek = stream_seekable(f);
  return 0;
}
