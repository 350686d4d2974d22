// Loaded into the program with LD_PRELOAD: fails the Nth call of one
// function with a chosen errno, as a full disk, a failing device or an
// exhausted memory would. Chosen by the environment:
//   RSPEC_FAULT_CALL   write, fflush, fclose, ftruncate or malloc (malloc
//                      counts every allocation: malloc, calloc, realloc)
//   RSPEC_FAULT_AT     N: the Nth call fails; N+: the Nth and every later
//                      one; 0 or unset: none
//   RSPEC_FAULT_ERRNO  the error number, as a number or one of ENOSPC, EIO,
//                      EFBIG, ENOMEM (default EIO)
//   RSPEC_FAULT_COUNT  a file that receives, at a normal exit, how many
//                      calls of the function were made
//   RSPEC_FAULT_SHORT  set: a failing write first writes half of its bytes
//                      and returns that count, and the next call fails, as
//                      a disk that fills up in the middle of a write does
// Only calls made through the dynamic linker are seen: the program's own,
// and allocations anywhere; stdio's writes inside the C library are not.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
}

namespace {

enum fn { none, f_write, f_fflush, f_fclose, f_ftruncate, f_malloc };

fn which = none;
long at = 0;
bool onward = false;
int err = EIO;
long calls = 0;
bool armed = false;
bool short_write = false;
bool short_pending = false;  // a short write was made: the next call fails

ssize_t (*real_write)(int, const void*, size_t);
int (*real_fflush)(FILE*);
int (*real_fclose)(FILE*);
int (*real_ftruncate)(int, off_t);

// Whether this call of f is to fail (and counts it).
bool fail_now(fn f) {
  if (!armed || f != which) return false;
  ++calls;
  return at > 0 && (calls == at || (onward && calls > at));
}

int errno_named(const char* s) {
  if (!s) return EIO;
  if (!strcmp(s, "ENOSPC")) return ENOSPC;
  if (!strcmp(s, "EIO")) return EIO;
  if (!strcmp(s, "EFBIG")) return EFBIG;
  if (!strcmp(s, "ENOMEM")) return ENOMEM;
  return atoi(s);
}

__attribute__((constructor)) void init() {
  real_write = reinterpret_cast<decltype(real_write)>(dlsym(RTLD_NEXT, "write"));
  real_fflush = reinterpret_cast<decltype(real_fflush)>(dlsym(RTLD_NEXT, "fflush"));
  real_fclose = reinterpret_cast<decltype(real_fclose)>(dlsym(RTLD_NEXT, "fclose"));
  real_ftruncate = reinterpret_cast<decltype(real_ftruncate)>(dlsym(RTLD_NEXT, "ftruncate"));
  const char* call = getenv("RSPEC_FAULT_CALL");
  const char* n = getenv("RSPEC_FAULT_AT");
  if (call) {
    which = !strcmp(call, "write")       ? f_write
            : !strcmp(call, "fflush")    ? f_fflush
            : !strcmp(call, "fclose")    ? f_fclose
            : !strcmp(call, "ftruncate") ? f_ftruncate
            : !strcmp(call, "malloc")    ? f_malloc
                                         : none;
  }
  if (n) {
    at = atol(n);
    onward = strchr(n, '+') != nullptr;
  }
  err = errno_named(getenv("RSPEC_FAULT_ERRNO"));
  short_write = getenv("RSPEC_FAULT_SHORT") != nullptr;
  armed = true;
}

__attribute__((destructor)) void fini() {
  const char* path = getenv("RSPEC_FAULT_COUNT");
  if (!path) return;
  armed = false;
  char buf[32];
  int len = snprintf(buf, sizeof buf, "%ld\n", calls);
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd >= 0) {
    real_write(fd, buf, static_cast<size_t>(len));
    close(fd);
  }
}

}  // namespace

extern "C" ssize_t write(int fd, const void* b, size_t n) {
  bool fail = fail_now(f_write);
  if (short_pending) {
    short_pending = false;
    fail = true;
  } else if (fail && short_write && n > 1) {
    short_pending = true;
    return real_write(fd, b, n / 2);
  }
  if (fail) {
    errno = err;
    return -1;
  }
  return real_write(fd, b, n);
}

extern "C" int fflush(FILE* f) {
  if (fail_now(f_fflush)) {
    errno = err;
    return EOF;
  }
  return real_fflush(f);
}

// A failed close still closes: the stream is gone either way.
extern "C" int fclose(FILE* f) {
  if (fail_now(f_fclose)) {
    real_fclose(f);
    errno = err;
    return EOF;
  }
  return real_fclose(f);
}

extern "C" int ftruncate(int fd, off_t n) {
  if (fail_now(f_ftruncate)) {
    errno = err;
    return -1;
  }
  return real_ftruncate(fd, n);
}

extern "C" int ftruncate64(int fd, off_t n) { return ftruncate(fd, n); }

#ifndef RSPEC_FAULT_NO_MALLOC
extern "C" void* malloc(size_t n) {
  if (fail_now(f_malloc)) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_malloc(n);
}

extern "C" void* calloc(size_t k, size_t n) {
  if (fail_now(f_malloc)) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_calloc(k, n);
}

extern "C" void* realloc(void* p, size_t n) {
  if (n != 0 && fail_now(f_malloc)) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_realloc(p, n);
}
#endif
