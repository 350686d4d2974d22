// Formatted output: one table row per statement. The format is parsed at
// every start; the processor calls back here for each field and literal.
#include <cstdio>
#include <cstring>

#include "diag/diag.h"
#include "textio/format.h"
#include "textio/iostate.h"
#include "textio/recbuf.h"
#include "textio/textio.h"
#include "textio/wrtfmt.h"

namespace {

int w_ed(const syl* p, char* ptr, int len) {
  switch (p->op) {
    case OP_F:
      return wrt_F(ptr, p->p1, p->p2, len);
    default:
      std::fprintf(stderr, "w_ed, unexpected code: %d\n", p->op);
      sig_die(f__fmtbuf, 1);
  }
}

int w_ned(const syl* p) {
  switch (p->op) {
    case OP_APOS:
      return wrt_AP(f__fmttext + p->p1);
    default:
      std::fprintf(stderr, "w_ned, unexpected code: %d\n", p->op);
      sig_die(f__fmtbuf, 1);
  }
}

// Values left over at the end of the format go on a new record.
int w_revert() { return x_wSL(); }

}  // namespace

int s_wsfe(const cilist* a) {
  // The unit becomes current only once it has passed its checks: a report
  // for a bad unit shows the state the previous statement left.
  unit* prev = f__curunit;
  f__stmt_begin(a);
  f__curunit = prev;
  if (a->ciunit < 0 || a->ciunit >= MXUNIT) f__fatal(101, "startio");
  unit* u = &f__units[a->ciunit];
  // No default connection exists: every unit the program writes is
  // connected before its first statement.
  if (u->ufd == nullptr) f__fatal(114, "sfe");
  if (!u->ufmt) f__fatal(102, "sfe");

  f__recpos = 0;
  f__fmtbuf = a->cifmt;
  f__fmtlen = static_cast<int>(std::strlen(a->cifmt));
  f__curunit = u;
  f__reading = false;
  f__sequential = true;
  f__formatted = true;
  f__external = true;

  f__fmttext = a->cifmt;
  if (pars_f(a->cifmt) != 0) f__fatal(100, "startio");
  fmt_bg();
  f__doed = w_ed;
  f__doned = w_ned;
  f__dorevert = w_revert;

  if (!u->uwrt) {
    int n = f__nowwriting(u);
    if (n != 0) f__fatal(n, "write start");
  }
  return 0;
}

int e_wsfe() {
  en_fio();
  f__putbuf('\n');
  f__recpos = 0;
  f__init = io_mark::idle;
  f__fmtbuf = nullptr;
  f__fmtlen = 0;
  return 0;
}
