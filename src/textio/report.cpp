// What the fatal report says about the text layer after its first line:
// the current unit, the last format and the mode flags.
#include <cstdio>

#include "textio/internal.h"

void f__report_units() {
  if (f__init != io_mark::uninit) {
    if (f__curunit != nullptr) {
      int n_unit = static_cast<int>(f__curunit - f__units);
      if (f__curunit->ufnm != nullptr)
        fprintf(stderr, "apparent state: unit %d named %s\n", n_unit, f__curunit->ufnm);
      else
        fprintf(stderr, "apparent state: unit %d (unnamed)\n", n_unit);
    } else {
      fputs("apparent state: internal I/O\n", stderr);
    }
    if (f__fmtbuf != nullptr) {
      fputs("last format: ", stderr);
      fwrite(f__fmtbuf, 1, f__fmtlen, stderr);
      fputc('\n', stderr);
    }
    // No line end: the abnormal end's " IO" completes the line.
    fprintf(stderr, "lately %s %s %s %s", f__reading ? "reading" : "writing",
            f__sequential ? "sequential" : "direct", f__formatted ? "formatted" : "unformatted",
            f__external ? "external" : "internal");
  }
  f__init = io_mark::idle;
}
