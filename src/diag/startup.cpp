// What the process makes sure of before it opens anything.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "diag/diag.h"

namespace {

// The console streams' buffers, static so that the first prompt and the
// first answer do not allocate them while the run goes on.
char stdin_buffer[BUFSIZ];
char stdout_buffer[BUFSIZ];

}  // namespace

void f__startup() {
  // A standard descriptor left closed by whoever started the program would
  // be taken by the first file opened, the record file: the report or the
  // console text would then be written into it. Each closed one gets
  // /dev/null (open takes the lowest free descriptor).
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd) abort();
  }
  // Buffered as the library would have it: by lines on a terminal.
  setvbuf(stdin, stdin_buffer, isatty(0) ? _IOLBF : _IOFBF, sizeof stdin_buffer);
  setvbuf(stdout, stdout_buffer, isatty(1) ? _IOLBF : _IOFBF, sizeof stdout_buffer);
  // A console reader that has gone away makes console writes fail (they
  // are not checked) instead of ending the process before the table is
  // closed.
  signal(SIGPIPE, SIG_IGN);
}
