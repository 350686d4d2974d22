// List output: prompts, echoes and the table's header line. Items take as
// many characters as their values need; a record that would reach 80
// characters is broken before the item that does not fit.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "diag/diag.h"
#include "textio/internal.h"
#include "textio/record_buffer.h"
#include "textio/textio.h"

namespace {

// Break the line when an item of tested width w does not fit. An empty
// record is never ended, so an item longer than the line is written whole.
void fit(int w) {
  if (f__recpos + w >= L_len) donewrec();
}

void put_text(const char* s) {
  for (; *s; ++s) x_putc(*s);
}

// The real rendering: a blank, "-" or a blank, then the number text: "0."
// for a zero, otherwise the "%.9G" text with a decimal point made sure of.
// buf must hold at least 32 bytes.
void l_g(char* buf, double n) {
  char* b = buf;
  *b++ = ' ';
  if (n < 0) {
    *b++ = '-';
    n = -n;
  } else {
    *b++ = ' ';  // also zero of either sign and a NaN
  }
  if (n == 0) {
    std::strcpy(b, "0.");
    return;
  }
  std::snprintf(b, 30, "%.9G", n);
  switch (*b) {
    case 'I': case 'i': case 'N': case 'n':
      return;  // an infinity or a NaN, as the conversion wrote it
  }
  if (std::strchr(b, '.') != nullptr) return;
  // A negative NaN's "-NAN" falls through to here and gets its point too.
  if (char* e = std::strchr(b, 'E')) {
    std::memmove(e + 1, e, std::strlen(e) + 1);
    *e = '.';
  } else {
    std::strcat(b, ".");
  }
}

// Integer: a blank, "-" when negative, the digits. Only the digits count
// towards the line length.
void lwrt_I(int64_t n) {
  char digits[24];
  uint64_t m = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  int k = std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(m));
  fit(k);
  x_putc(' ');
  if (n < 0) x_putc('-');
  put_text(digits);
}

// Text: every character of its declared length; the one leading blank only
// when it starts a record.
void lwrt_A(const char* p, int len) {
  fit(len);
  if (f__recpos == 0) x_putc(' ');
  for (int i = 0; i < len; ++i) x_putc(p[i]);
}

// Real: the whole rendering, prefix included, counts towards the line.
void lwrt_F(double n) {
  char buf[32];
  l_g(buf, n);
  fit(static_cast<int>(std::strlen(buf)));
  put_text(buf);
}

// Complex value (the run passes none): " (re,im)", each part the real's
// number text with its minus sign but without the prefix blanks.
void lwrt_C(double re, double im) {
  char a[32], b[32];
  l_g(a, re);
  l_g(b, im);
  const char* ra = a[1] == '-' ? a + 1 : a + 2;
  const char* rb = b[1] == '-' ? b + 1 : b + 2;
  fit(static_cast<int>(std::strlen(ra) + std::strlen(rb)) + 4);
  put_text(" (");
  put_text(ra);
  x_putc(',');
  put_text(rb);
  x_putc(')');
}

// Logical value (the run passes none): " T" or " F", both counted.
void lwrt_L(bool v) {
  fit(2);
  put_text(v ? " T" : " F");
}

template <typename T>
T load(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

int l_write(int number, char* ptr, int len, int type) {
  for (int i = 0; i < number; ++i, ptr += len) {
    switch (type) {
      case TYINT1:     lwrt_I(load<int8_t>(ptr)); break;
      case TYSHORT:    lwrt_I(load<int16_t>(ptr)); break;
      case TYLONG:     lwrt_I(load<int32_t>(ptr)); break;
      case TYQUAD:     lwrt_I(load<int64_t>(ptr)); break;
      case TYREAL:     lwrt_F(load<float>(ptr)); break;
      case TYDREAL:    lwrt_F(load<double>(ptr)); break;
      case TYCOMPLEX:  lwrt_C(load<float>(ptr), load<float>(ptr + sizeof(float))); break;
      case TYDCOMPLEX: lwrt_C(load<double>(ptr), load<double>(ptr + sizeof(double))); break;
      case TYLOGICAL1: lwrt_L(load<int8_t>(ptr) != 0); break;
      case TYLOGICAL2: lwrt_L(load<int16_t>(ptr) != 0); break;
      case TYLOGICAL:  lwrt_L(load<int32_t>(ptr) != 0); break;
      case TYCHAR:     lwrt_A(ptr, len); break;
      default:         f__fatal(ERR_UNKNOWN_TYPE, "unknown type in lio");
    }
  }
  return 0;
}

}  // namespace

int s_wsle(const cilist* a) {
  int rc = f__stmt_start(a, k_wsle);
  f__lioproc = l_write;
  L_len = 80;
  return rc;
}

int e_wsle() {
  f__init = io_mark::idle;
  f__putbuf('\n');
  f__recpos = 0;
  return 0;
}
