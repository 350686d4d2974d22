// The reader's decimal conversion against strtod of the same text, bit for
// bit, on both sides of the exactly formed range.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "textio/decimal.h"

namespace {

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

double by_strtod(bool neg, const std::string& digits, long long exp) {
  char text[96];
  std::snprintf(text, sizeof text, "%s%se%lld", neg ? "-" : "", digits.c_str(), exp);
  return std::strtod(text, nullptr);
}

TEST(Decimal, MatchesStrtodBitForBit) {
  std::mt19937_64 gen(99);
  int checked = 0;
  for (int t = 0; t < 200000; ++t) {
    // Mostly short numbers with small exponents, as record files hold them,
    // and enough of everything else: long digit strings, exponents out to
    // overflow and underflow, the edges of the exact range.
    const int n = t % 4 == 0 ? 1 + (int)(gen() % 40) : 1 + (int)(gen() % 17);
    std::string d(n, '0');
    d[0] = (char)('1' + gen() % 9);
    for (int i = 1; i < n; ++i) d[i] = (char)('0' + gen() % 10);
    long long exp;
    switch (t % 5) {
      case 0: exp = (long long)(gen() % 700) - 350; break;
      case 1: exp = (long long)(gen() % 9) - 4 + (gen() % 2 ? 22 : -22); break;
      case 2: exp = (long long)(gen() % 100000000) * (gen() % 2 ? 1 : -1); break;
      default: exp = (long long)(gen() % 13) - 6; break;
    }
    const bool neg = gen() % 2;
    const double want = by_strtod(neg, d, exp);
    errno = 1234;
    const double got = decimal_to_double(neg, d.data(), n, exp);
    ASSERT_EQ(bits(got), bits(want)) << (neg ? "-" : "") << d << "e" << exp;
    ASSERT_EQ(errno, 1234) << "errno changed by " << d << "e" << exp;
    ++checked;
  }
  EXPECT_EQ(checked, 200000);
}

TEST(Decimal, TiesAndEdgesOfTheExactRange) {
  struct c {
    const char* digits;
    long long exp;
  } cases[] = {
      {"9007199254740993", 0},   // 2^53 + 1: 16 digits, a tie, to even
      {"900719925474099", 1},    // 15 digits, exact
      {"123456789012345", 22},   // the largest exactly formed power
      {"123456789012345", -22},
      {"123456789012345", 23},   // just outside
      {"1", -400},               // underflow to zero
      {"1", 400},                // overflow to infinity
      {"4940656458412465", -339},  // near the smallest subnormal
      {"17976931348623157", 292},  // near the largest double
      {"5", -1},
      {"25", -2},
  };
  for (const auto& k : cases)
    for (bool neg : {false, true}) {
      const int n = (int)std::strlen(k.digits);
      EXPECT_EQ(bits(decimal_to_double(neg, k.digits, n, k.exp)), bits(by_strtod(neg, k.digits, k.exp)))
          << k.digits << "e" << k.exp;
    }
}

}  // namespace
