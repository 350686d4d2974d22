// The process entry.
#include <cstdlib>

#include "diag/diag.h"
#include "run/run.h"
#include "textio/textio.h"

int main(int argc, char** argv) {
  f__startup();
  xargc = argc;  // recorded; the run takes no arguments
  xargv = argv;
  f_setsig();
  f_init();
  atexit(f_exit);
  spectrum_run();
  exit(0);
}
