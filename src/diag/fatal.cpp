// The fatal error report.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diag/diag.h"

const char* const F_err[] = {
    "error in format",                        // 100
    "illegal unit number",                    // 101
    "formatted io not allowed",               // 102
    "unformatted io not allowed",             // 103
    "direct io not allowed",                  // 104
    "sequential io not allowed",              // 105
    "can't backspace file",                   // 106
    "null file name",                         // 107
    "can't stat file",                        // 108
    "unit not connected",                     // 109
    "off end of record",                      // 110
    "truncation failed in endfile",           // 111
    "incomprehensible list input",            // 112
    "out of free space",                      // 113
    "unit not connected",                     // 114
    "read unexpected character",              // 115
    "bad logical input field",                // 116
    "bad variable type",                      // 117
    "bad namelist name",                      // 118
    "variable not in namelist",               // 119
    "no end record",                          // 120
    "variable count incorrect",               // 121
    "subscript for scalar variable",          // 122
    "invalid array section",                  // 123
    "substring out of bounds",                // 124
    "subscript out of bounds",                // 125
    "can't read file",                        // 126
    "can't write file",                       // 127
    "'new' file exists",                      // 128
    "can't append to file",                   // 129
    "non-positive record number",             // 130
    "I/O started while already doing I/O",    // 131
    "Temporary file name (TMPDIR?) too long"  // 132
};
static_assert(sizeof F_err / sizeof F_err[0] == MAXERR - 100);

bool f__fatal_called;
void (*f__fatal_hook)(int n, const char* s);
void (*f__report_io)();
void (*f__close_io)();

// Everything after the report's first line.
[[noreturn]] static void report_state();

void f__fatal(int n, const char* s) {
  if (f__fatal_hook) f__fatal_hook(n, s);

  if (n >= 0 && n < 100)
    fprintf(stderr, "%s: %s\n", s, strerror(n));
  else if (n == -1)
    fprintf(stderr, "%s: end of file\n", s);
  else if (n >= 100 && n < MAXERR)
    fprintf(stderr, "%s: %s\n", s, F_err[n - 100]);
  else
    fprintf(stderr, "%s: illegal error number %d\n", s, n);
  report_state();
}

void f__fatal_text(const char* s, const char* msg) {
  if (f__fatal_hook) f__fatal_hook(-2, s);  // -2: no numbered error
  fprintf(stderr, "%s: %s\n", s, msg);
  report_state();
}

static void report_state() {
  if (f__fatal_called) {
    // The report failed again while closing the units: abort at once. The
    // abort handler is still installed and says "IOT Trap".
    fputs("(zarvel f__fatal already called, aborting.)", stderr);
    abort();
  }
  f__fatal_called = true;
  if (f__report_io) f__report_io();
  sig_die(" IO", 1);
}
