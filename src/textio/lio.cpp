// The item transfer of the list statements: reading or writing, whichever
// the statement's start installed.
#include "textio/textio.h"

int do_lio(int type, int number, char* ptr, int len) {
  return (*f__lioproc)(number, ptr, len, type);
}
