// Fixed-point fields and literals of formatted output.
#include "textio/fields.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "textio/record_buffer.h"

namespace {

// True when t is a digit text whose digits are all zero: a value that
// rounded to zero. Texts of infinities and NaNs ("inf", "nan") are not
// digit texts, so a negative infinity keeps its minus sign.
bool rounds_to_zero(const char* t) {
  if (*t < '0' || *t > '9') return false;
  for (; *t; ++t)
    if (*t >= '1' && *t <= '9') return false;
  return true;
}

void put_field(const char* t, int w, bool neg) {
  int n = static_cast<int>(std::strlen(t)) + (neg ? 1 : 0);
  if (n > w) {
    // One character short: the leading zero of a magnitude below 1 gives way.
    if (t[0] == '0' && n - 1 == w) {
      ++t;
      n = w;
    } else {
      for (int i = 0; i < w; ++i) x_putc('*');
      return;
    }
  }
  for (int i = n; i < w; ++i) x_putc(' ');
  if (neg) x_putc('-');
  for (; *t; ++t) x_putc(*t);
}

}  // namespace

int wrt_F(const char* ptr, int w, int d, int len) {
  double x;
  if (len == static_cast<int>(sizeof(float))) {
    float f;
    std::memcpy(&f, ptr, sizeof f);
    x = f;
  } else {
    std::memcpy(&x, ptr, sizeof x);
  }
  bool neg = false;
  if (x < 0) {
    neg = true;
    x = -x;
  } else if (x == 0) {
    x = 0;  // a negative zero is written as a positive one
  }
  // The largest double has 309 integer digits; a field with hundreds of
  // decimals, which no format here asks for, takes the long way.
  char small[400];
  int n = std::snprintf(small, sizeof small, "%#.*f", d, x);
  std::string big;
  const char* t = small;
  if (n >= static_cast<int>(sizeof small)) {
    big.resize(static_cast<size_t>(n) + 1);
    std::snprintf(big.data(), big.size(), "%#.*f", d, x);
    t = big.c_str();
  }
  if (neg && rounds_to_zero(t)) neg = false;
  put_field(t, w, neg);
  return 0;
}

int wrt_AP(const char* s) {
  const char quote = *s++;
  for (char c; (c = *s++) != '\0';) {
    if (c == quote) {
      if (*s != quote) break;
      ++s;
    }
    x_putc(c);
  }
  return 0;
}
