// The fixed-width read: one console line as a text field of w characters.
#include <cstring>

#include "diag/diag.h"
#include "textio/format.h"
#include "textio/internal.h"

// One character of the current line. A line end is never consumed: it is
// pushed back, so every further request on the line sees it again.
static int x_getc() {
  unit* u = f__curunit;
  int c = unit_getc(u);
  if (c == '\n') {
    tm_ungetc(u, c);
    return c;
  }
  if (c != EOF) ++f__recpos;
  return c;
}

// Text field of width w into a variable of length len: a blank for each
// line end, the variable's positions beyond the field set to blanks.
static int rd_AW(char* ptr, int w, int len) {
  for (; w > len; --w)
    if (x_getc() == EOF) return f__eof("fmt");
  int n = w;
  for (int i = 0; i < n; ++i) {
    int c = x_getc();
    if (c == EOF) return f__eof("fmt");
    ptr[i] = c == '\n' ? ' ' : static_cast<char>(c);
  }
  memset(ptr + n, ' ', len - n);
  return 0;
}

// The rest of the line, its line end included; -1 when the input ends first.
static int skip_line() {
  for (;;) {
    int c = unit_getc(f__curunit);
    if (c == '\n') return 0;
    if (c == EOF) return -1;
  }
}

static int rd_ed(const syl* p, char* ptr, int len) {
  if (p->op == OP_A) return rd_AW(ptr, p->p1 ? p->p1 : len, len);
  fprintf(stderr, "rd_ed, unexpected code: %d\n", p->op);
  sig_die(f__fmtbuf, 1);
}

static int rd_ned(const syl* p) {
  fprintf(stderr, "rd_ned, unexpected code: %d\n", p->op);
  sig_die(f__fmtbuf, 1);
}

static int rd_newrec() {
  skip_line();
  f__recpos = 0;
  return 0;
}

int s_rsfe(const cilist* a) {
  int rc = f__stmt_start(a, k_rsfe);
  fmt_install({rd_ed, rd_ned, rd_newrec});
  return rc;
}

int e_rsfe() {
  f__init = io_mark::idle;
  en_fio();
  int rc = skip_line();
  f__fmtbuf = nullptr;
  f__fmtlen = 0;
  return rc;
}
