// The unit table, the statement start and the state every statement shares.
#include <unistd.h>

#include "diag/diag.h"
#include "textio/internal.h"
#include "textio/textio.h"

unit f__units[MXUNIT];
static char f__unit_buffers[MXUNIT][kUnitBuffer];
unit* f__curunit;
io_mark f__init = io_mark::uninit;
const cilist* f__elist;

bool f__reading, f__sequential, f__formatted, f__external;

const char* f__fmtbuf;
int f__fmtlen;

static char f__fixed_buf[400];
char* f__buf = f__fixed_buf;
int f__buflen = 400;
int f__recpos;

bool f__exit_done;

int (*f__lioproc)(int number, char* ptr, int len, int type);

char* unit_buffer(unit* u) { return f__unit_buffers[u - f__units]; }

// A console unit: no file name, formatted, access mode unset, seekable
// when its stream is not a terminal.
static void connect_console(int n, FILE* f, bool last_write) {
  unit* u = &f__units[n];
  unit_connect(u, f, ACC_NONE, last_write);
  u->ufnm = nullptr;
  u->useek = !isatty(fileno(f));
}

void f_init() {
  if (f__init == io_mark::busy) f__fatal(ERR_RECURSION, "I/O recursion");
  f__init = io_mark::idle;
  f__report_io = f__report_units;
  f__close_io = f_exit;
  connect_console(0, stderr, true);
  connect_console(5, stdin, false);
  connect_console(6, stdout, true);
}

