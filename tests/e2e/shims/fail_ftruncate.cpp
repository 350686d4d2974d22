// Loaded into the program with LD_PRELOAD: every truncation fails with an
// I/O error, as on a file system that refuses it, so that the cut of a
// reused table at its close fails.
#include <sys/types.h>

#include <cerrno>

extern "C" int ftruncate(int, off_t) {
  errno = EIO;
  return -1;
}

extern "C" int ftruncate64(int, off_t) {
  errno = EIO;
  return -1;
}
