// The process entry.
#include <cstdlib>

#include "diag/diag.h"
#include "run/run.h"
#include "textio/textio.h"

int main() {  // arguments are accepted and ignored
  f__startup();
  f_setsig();
  f_init();
  atexit(f_exit);
  spectrum_run();
  exit(0);
}
