// Formatted output: one table row per statement. The format is parsed at
// every start; the processor calls back here for each field and literal.
#include <cstdio>
#include <cstring>

#include "diag/diag.h"
#include "textio/format.h"
#include "textio/internal.h"
#include "textio/record_buffer.h"
#include "textio/textio.h"
#include "textio/fields.h"

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
  int rc = f__stmt_start(a, k_wsfe);
  fmt_install({w_ed, w_ned, w_revert});
  return rc;
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
