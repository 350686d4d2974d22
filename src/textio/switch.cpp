// Switching a unit between reading and writing. A file opened for one
// direction only is reopened by name on the same stream, and its position
// restored.
#include "textio/internal.h"
#include "diag/diag.h"

// Reopen u's file by name in mode, keeping the position; false when the
// reopen fails (the unit is then left without a stream).
static bool reopen_at(unit* u, const char* mode, long pos) {
  FILE* f = f__fopen(u, mode, u->ufd);
  if (f == nullptr) {
    u->ufd = nullptr;
    return false;
  }
  u->ufd = f;
  tm_reset(u);
  fseek(f, pos, SEEK_SET);
  return true;
}

int f__nowreading(unit* u) {
  if (u->uacc & ACC_READ) {
    u->uwrt = false;
    return 0;
  }
  if (u->ufnm == nullptr) return ERR_CANT_READ;
  long pos = ftell(u->ufd);
  if (reopen_at(u, "r+", pos)) {
    u->uacc = ACC_BOTH;
  } else {
    // freopen has closed the stream; open it afresh read-only.
    FILE* f = f__fopen(u, "r");
    if (f == nullptr) return ERR_CANT_READ;
    u->ufd = f;
    tm_reset(u);
    fseek(f, pos, SEEK_SET);
    u->uacc = ACC_READ;
  }
  u->uwrt = false;
  return 0;
}

int f__nowwriting(unit* u) {
  if (u->uacc & ACC_WRITE) {
    u->uwrt = true;
    return 0;
  }
  if (u->ufnm == nullptr) return ERR_CANT_WRITE;
  long pos = ftell(u->ufd);
  if (!reopen_at(u, "r+", pos)) return ERR_CANT_WRITE;
  u->uacc = ACC_BOTH;
  u->uwrt = true;
  return 0;
}
