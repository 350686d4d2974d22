// The text layer's process-wide state, all of it defined here: the unit
// table, the statement in progress, the mode flags and last format the
// report reads, the record buffer, the parsed format and the renderers and
// item procedure the running statement installed. Also its initialisation
// and the one reset the tests use. (Each reader's state for the statement
// in progress stays with the reader: listread.cpp, format_walk.cpp.)
#include <unistd.h>

#include <cstdlib>

#include "diag/diag.h"
#include "textio/format.h"
#include "textio/internal.h"
#include "textio/listread.h"
#include "textio/textio.h"

unit f__units[MXUNIT];
static char f__unit_buffers[MXUNIT][kUnitBuffer];
unit* f__curunit;
io_mark f__init = io_mark::uninit;
const cilist* f__elist;

bool f__reading, f__sequential, f__formatted, f__external;

const char* f__fmtbuf;
int f__fmtlen;

char f__fixed_buf[kFixedBuffer];
char* f__buf = f__fixed_buf;
int f__buflen = kFixedBuffer;
int f__recpos;
int L_len = 80;

syl f__syl[kMaxSteps];
int f__nsyl;
const char* f__fmttext;
int (*f__doed)(const syl* p, char* ptr, int len);
int (*f__doned)(const syl* p);
int (*f__dorevert)();

bool f__exit_done;

int (*f__lioproc)(int number, char* ptr, int len, int type);

void unit_connect(unit* u, FILE* f, int acc, bool last_write) {
  u->ufd = f;
  u->ufmt = true;
  u->uacc = acc;
  u->uwrt = last_write;
  u->uend = false;
  u->ucut = false;
  tm_reset(u);
}

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

void f__reset() {
  for (unit& u : f__units) {
    if (u.ufnm != nullptr) {
      if (u.ufd != nullptr) fclose(u.ufd);
      free(u.ufnm);
    }
    u = unit{};
  }
  f__curunit = nullptr;
  f__elist = nullptr;
  f__reading = f__sequential = f__formatted = f__external = false;
  f__fmtbuf = nullptr;
  f__fmtlen = 0;
  if (f__buf != f__fixed_buf) free(f__buf);
  f__buf = f__fixed_buf;
  f__buflen = kFixedBuffer;
  f__recpos = 0;
  L_len = 80;
  f__nsyl = 0;
  f__fmttext = nullptr;
  f__lioproc = nullptr;
  f__doed = nullptr;
  f__doned = nullptr;
  f__dorevert = nullptr;
  l_reset();
  f__exit_done = false;
  f__fatal_called = false;
  f__init = io_mark::uninit;
  f_init();
}
