// The format processor: walks the parsed steps as values are handed over.
#include <cstdio>
#include <cstring>

#include "diag/diag.h"
#include "textio/format.h"
#include "textio/internal.h"

namespace {

int pc;                  // current step
int cnt[kMaxSteps], cp;  // repeat counters
int ret[kMaxSteps], rp;  // group return points
bool field_done;         // a field took a value since the last reversion

// Walk to the next field. With a value (ptr not null) the field renders
// it and the walk stops there; without one the walk stops at the first
// field that needs a value or at the end of the format.
int walk(char* ptr, int len) {
  for (;;) {
    const syl* p = &f__syl[pc];
    switch (p->op) {
      case OP_RET:
        ++pc;
        break;
      case OP_STACK:
        cnt[cp++] = p->p1;
        ++pc;
        break;
      case OP_GROUP:
        ret[rp++] = pc + 1;
        ++pc;
        break;
      case OP_CLOSE:
        if (--cnt[cp - 1] > 0) {
          pc = ret[rp - 1];
        } else {
          --cp;
          --rp;
          ++pc;
        }
        break;
      case OP_APOS:
        if (int rc = (*f__doned)(p)) return rc;
        ++pc;
        break;
      case OP_F:
      case OP_A:
        if (cnt[cp - 1] > 0) {
          if (ptr == nullptr) return 0;
          --cnt[cp - 1];
          field_done = true;
          return (*f__doed)(p, ptr, len);
        }
        --cp;
        ++pc;
        break;
      case OP_END:
        if (ptr == nullptr) return 0;
        // A value is left over: a new record from the reversion point. A
        // format without a field could never place it.
        if (!field_done) f__fatal(ERR_FORMAT, "do_fio");
        field_done = false;
        if (int rc = (*f__dorevert)()) return rc;
        cp = rp = 0;
        pc = p->p1;
        break;
      default:
        fprintf(stderr, "unknown code in do_fio: %d\n%.*s\n", p->op,
                static_cast<int>(strlen(f__fmttext)), f__fmttext);
        f__fatal(ERR_FORMAT, "do_fio");
    }
  }
}

}  // namespace

void fmt_install(const format_renderers& r) {
  f__doed = r.doed;
  f__doned = r.doned;
  f__dorevert = r.dorevert;
}

void fmt_bg() {
  pc = 0;
  cp = rp = 0;
  field_done = false;
}

int do_fio(int number, char* ptr, int len) {
  for (int i = 0; i < number; ++i)
    if (int rc = walk(ptr + i * len, len)) return rc;
  return 0;
}

int en_fio() { return walk(nullptr, 0); }
