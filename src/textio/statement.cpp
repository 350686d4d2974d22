// The start every statement shares, driven by what its kind checks and
// reports, and the item transfer of the list statements.
#include <cstring>

#include "diag/diag.h"
#include "textio/format.h"
#include "textio/internal.h"

// A list statement (free-form read, list output) reports an unconnected
// unit as 102 and an unformatted one as 103, context "lio"; a formatted
// statement (fixed-width read, row output) as 114 and 102, context "sfe".
// Only the row output leaves the previous unit current until the checks
// pass, and only the formatted statements set "sequential".
const statement_kind k_rsle = {true, false, false, false, "stler",
                               ERR_FORMATTED_IO, "lio", ERR_UNFORMATTED_IO, "lio", "read start"};
const statement_kind k_wsle = {false, false, false, false, "stler",
                               ERR_FORMATTED_IO, "lio", ERR_UNFORMATTED_IO, "lio", "list output start"};
const statement_kind k_rsfe = {true, true, true, false, "startio",
                               ERR_NOT_CONNECTED, "sfe", ERR_FORMATTED_IO, "sfe", "read start"};
const statement_kind k_wsfe = {false, true, true, true, "startio",
                               ERR_NOT_CONNECTED, "sfe", ERR_FORMATTED_IO, "sfe", "write start"};

int f__stmt_start(const cilist* a, const statement_kind& k) {
  if (f__init != io_mark::idle) f_init();
  f__init = io_mark::busy;
  f__elist = a;
  if (!k.formatted) {
    f__fmtbuf = "list io";
    f__fmtlen = 7;
  }
  const bool valid = a->ciunit >= 0 && a->ciunit < MXUNIT;
  if (valid && !k.current_after_checks) f__curunit = &f__units[a->ciunit];
  if (!valid) f__fatal(ERR_UNIT_NUMBER, k.bad_number);
  unit* u = &f__units[a->ciunit];
  // No default connection exists: every unit the program uses is
  // connected before its first statement.
  if (u->ufd == nullptr) f__fatal(k.unconnected, k.unconnected_ctx);
  if (!u->ufmt) f__fatal(k.unformatted, k.unformatted_ctx);

  f__curunit = u;
  f__recpos = 0;
  f__reading = k.read;
  f__formatted = f__external = true;
  if (k.sequential) f__sequential = true;
  if (k.formatted) {
    f__fmtbuf = a->cifmt;
    f__fmtlen = static_cast<int>(strlen(a->cifmt));
    if (pars_f(a->cifmt) != 0) f__fatal(ERR_FORMAT, "startio");
    fmt_bg();
  }

  if (k.read) {
    if (u->uwrt && f__nowreading(u) != 0) f__fatal(ERR_CANT_READ, k.switch_ctx);
    if (u->uend) return f__eof("read start");
  } else if (!u->uwrt) {
    if (int n = f__nowwriting(u)) f__fatal(n, k.switch_ctx);
  }
  return 0;
}

int f__eof(const char* ctx) {
  if (f__elist && f__elist->ciend) {
    f__init = io_mark::idle;
    return -1;
  }
  f__fatal(ERR_EOF, ctx);
}

int do_lio(int type, int number, char* ptr, int len) {
  return (*f__lioproc)(number, ptr, len, type);
}
