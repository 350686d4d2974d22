// Cutting a written file after its last record.
#include <unistd.h>

#include "textio/internal.h"
#include "diag/diag.h"

int t_runc(unit* u) {
  FILE* f = u->ufd;
  long pos = ftell(f);
  // Moving to the end writes out everything still buffered, a console
  // stream included.
  fflush(f);
  if (fseek(f, 0, SEEK_END) != 0) return 0;
  long end = ftell(f);
  if (pos < 0 || end < 0 || pos >= end || !u->useek || u->ufnm == nullptr) return 0;
  if (fseek(f, pos, SEEK_SET) != 0 || ftruncate(fileno(f), pos) != 0) return ERR_TRUNCATE;
  return 0;
}
