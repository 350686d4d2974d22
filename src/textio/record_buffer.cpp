// The record buffer: a fixed 400-byte area first, replaced by a heap area
// only for a record that does not fit, and never shrunk again.
#include "textio/record_buffer.h"

#include <cstdlib>
#include <cstring>

#include "diag/diag.h"
#include "textio/internal.h"

namespace {

// Make position `pos` storable; the first `keep` bytes are carried over.
void grow(int pos, int keep) {
  long long cap = f__buf != f__fixed_buf ? f__buflen : 1024;
  while (cap <= pos) cap *= 2;
  // The capacity is an int; a record that would need more is out of memory.
  char* area = cap > 0x7fffffff ? nullptr : static_cast<char*>(f__alloc(cap));
  if (area == nullptr) f__fatal(ERR_NO_SPACE, "malloc failure");
  std::memcpy(area, f__buf, keep);
  if (f__buf != f__fixed_buf) f__free(f__buf);  // the fixed area never is
  f__buf = area;
  f__buflen = static_cast<int>(cap);
}

}  // namespace

void x_putc(int c) {
  if (f__recpos >= f__buflen) grow(f__recpos, f__recpos);
  f__buf[f__recpos++] = static_cast<char>(c);
}

int f__putbuf(int c) {
  // The line end and a terminating NUL after it.
  if (f__recpos + 1 >= f__buflen) grow(f__recpos + 1, f__recpos);
  f__buf[f__recpos] = static_cast<char>(c);
  f__buf[f__recpos + 1] = '\0';
  f__write(f__curunit, f__buf, static_cast<size_t>(f__recpos) + 1);
  return 0;
}

int x_wSL() {
  f__putbuf('\n');
  f__recpos = 0;
  return 0;
}

void donewrec() {
  if (f__recpos != 0) x_wSL();
}
