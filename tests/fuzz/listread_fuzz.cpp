// Fuzz target of the free-form reader: any bytes, read as a record file
// (the header of four texts, then rows of four reals until end of file),
// either read or fail with one of the reader's own reports; nothing is ever
// written outside an item, and no text item holds a NUL byte.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diag/diag.h"
#include "support/fatal_catch.h"
#include "textio/internal.h"

namespace {

using testsupport::fatal_report;

// The input as a read-only stream.
struct source {
  const uint8_t* data;
  size_t size, pos;
};

ssize_t source_read(void* cookie, char* buf, size_t n) {
  auto* s = static_cast<source*>(cookie);
  size_t k = s->size - s->pos < n ? s->size - s->pos : n;
  memcpy(buf, s->data + s->pos, k);
  s->pos += k;
  return static_cast<ssize_t>(k);
}

bool is(const fatal_report& r, int n, const char* ctx) { return r.n == n && r.ctx == ctx; }

// The header has no end-of-file detection; text items only know one bad
// form of their own (a repeat count too large).
bool header_may_report(const fatal_report& r) {
  return is(r, -1, "list in") || is(r, 112, "bad repetition count") || is(r, 113, "no space") ||
         is(r, 113, "realloc failure");
}

// Rows detect end of file, so only the number forms may fail.
bool row_may_report(const fatal_report& r) {
  return is(r, 112, "bad repetition count") || is(r, 112, "exponent field") ||
         is(r, 112, "invalid number");
}

constexpr int GUARD = 8;
constexpr char GUARD_BYTE = '\x5a';

void check_guards(const char* area, int len) {
  for (int i = 0; i < GUARD; ++i)
    if (area[i] != GUARD_BYTE || area[GUARD + len + i] != GUARD_BYTE) {
      fprintf(stderr, "text item written outside its %d bytes\n", len);
      abort();
    }
}

void check_no_nul(const char* item, int len) {
  if (memchr(item, '\0', len) != nullptr) {
    fprintf(stderr, "NUL byte stored in a text item\n");
    abort();
  }
}

void read_record() {
  constexpr int L = 20;
  char head[4][GUARD + L + GUARD];
  memset(head, GUARD_BYTE, sizeof head);
  cilist h{11, false, nullptr};
  try {
    s_rsle(&h);
    for (auto& a : head) do_lio(TYCHAR, 1, a + GUARD, L);
    e_rsle();
  } catch (const fatal_report& r) {
    for (auto& a : head) check_guards(a, L);
    if (!header_may_report(r)) {
      fprintf(stderr, "header: unexpected report %d %s\n", r.n, r.ctx.c_str());
      abort();
    }
    return;
  }
  for (auto& a : head) {
    check_guards(a, L);
    // An untouched item still holds guard bytes, which hold no NUL either.
    check_no_nul(a + GUARD, L);
  }
  if (f__init != io_mark::idle) abort();

  // Every complete row statement consumes a line end, so this ends; the
  // cap only bounds the time of one input.
  for (int rows = 0; rows < 1000000; ++rows) {
    float r[4];
    cilist c{11, true, nullptr};
    try {
      if (s_rsle(&c) != 0) break;
      bool ok = true;
      for (float& x : r)
        if (ok && lio_real(x) != 0) ok = false;
      if (!ok || e_rsle() != 0) break;
    } catch (const fatal_report& e) {
      if (!row_may_report(e)) {
        fprintf(stderr, "row: unexpected report %d %s\n", e.n, e.ctx.c_str());
        abort();
      }
      return;
    }
    if (f__init != io_mark::idle) abort();
  }
  // End of file returned: the statement has ended.
  if (f__init != io_mark::idle) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  f__reset();
  f__fatal_hook = testsupport::throw_report;

  source src{data, size, 0};
  FILE* f = fopencookie(&src, "r", {source_read, nullptr, nullptr, nullptr});
  if (f == nullptr) return 0;
  unit* u = &f__units[11];
  unit_connect(u, f, ACC_READ, false);
  u->ufnm = nullptr;

  read_record();

  fclose(f);
  u->ufd = nullptr;
  f__init = io_mark::idle;
  return 0;
}
