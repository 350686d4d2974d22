// Decimal to double for the free-form reader. Record files hold numbers of
// a few digits with a short exponent; those are formed exactly here. Every
// other number goes through strtod with its text.
#include "textio/decimal.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The powers of ten that a double holds exactly.
constexpr double kExact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                             1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                             1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExact = 22;
// Up to 15 digits the integer is below 2^53, so a double holds it exactly.
constexpr int kMaxExactDigits = 15;

// "e" and the exponent in decimal, as "%lld" writes it, then a NUL.
void put_exponent(char* p, long long e) {
  *p++ = 'e';
  unsigned long long u = static_cast<unsigned long long>(e);
  if (e < 0) {
    *p++ = '-';
    u = 0 - u;
  }
  char rev[20];
  int k = 0;
  do {
    rev[k++] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  while (k > 0) *p++ = rev[--k];
  *p = '\0';
}

}  // namespace

double decimal_to_double(bool neg, const char* digits, int n, long long exp) {
  // An integer and a power of ten, both exact in double, and one rounding
  // of their product or quotient: the correctly rounded value.
  if (n <= kMaxExactDigits && exp >= -kMaxExact && exp <= kMaxExact) {
    std::int64_t m = 0;
    for (int i = 0; i < n; ++i) m = m * 10 + (digits[i] - '0');
    const double v = static_cast<double>(m);
    const double r = exp < 0 ? v / kExact[-exp] : v * kExact[exp];
    return neg ? -r : r;
  }
  char buf[1 + 40 + 22];
  int k = 0;
  if (neg) buf[k++] = '-';
  std::memcpy(buf + k, digits, n);
  k += n;
  if (exp != 0) put_exponent(buf + k, exp);
  else buf[k] = '\0';
  // strtod may set errno (ERANGE); a read error met while the number was
  // read must still be reported with its own error number.
  const int saved = errno;
  const double v = std::strtod(buf, nullptr);
  errno = saved;
  return v;
}
