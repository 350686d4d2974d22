// Formatted output: the fixed-point field, literals, the table row and the
// statement's failures.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/unit_file.h"
#include "textio/internal.h"
#include "textio/record_buffer.h"
#include "textio/rowformat.h"
#include "textio/textio.h"
#include "textio/fields.h"

namespace {

constexpr int kUnit = testsupport::UnitFileTest::kUnit;

// The characters one field puts into an empty record (a float or a double).
template <typename T>
std::string field(T v, int w, int d) {
  static_assert(std::is_same_v<T, float> || std::is_same_v<T, double>);
  f__recpos = 0;
  wrt_F(reinterpret_cast<const char*>(&v), w, d, sizeof v);
  std::string s(f__buf, f__recpos);
  f__recpos = 0;
  return s;
}

TEST(FixedPointField, TableFieldsF8) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float v;
    int d;
    const char* out;
  } cases[] = {
      {0.05f, 4, "  0.0500"},
      {15.0f, 4, " 15.0000"},
      {1.0f, 4, "  1.0000"},
      {981.234f, 2, "  981.23"},
      {-12.345f, 2, "  -12.35"},
      {-0.5f, 2, "   -0.50"},
      // Negative values that round to zero lose their sign; so does -0.
      {-0.004f, 2, "    0.00"},
      {-0.005f, 2, "    0.00"},
      {0.0f, 2, "    0.00"},
      {-0.0f, 2, "    0.00"},
      {-0.00004f, 4, "  0.0000"},
      // Exactly filling the width, then one character too many.
      {12345.678f, 2, "12345.68"},
      {99999.99f, 2, "99999.99"},
      {-9999.99f, 2, "-9999.99"},
      {-9999.995f, 2, "********"},
      {123456.7f, 2, "********"},
      {100000.0f, 2, "********"},
      {999.99999f, 4, "********"},
      // Conversion texts of infinities and NaNs under the width rules; a
      // NaN is not below zero, so a negative one shows the conversion's "-".
      {inf, 2, "     inf"},
      {-inf, 2, "    -inf"},
      {nan, 2, "     nan"},
      {std::copysign(nan, -1.0f), 2, "    -nan"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(field(c.v, 8, c.d), c.out) << "value " << c.v << " F8." << c.d;
}

TEST(FixedPointField, NarrowFieldsDropTheLeadingZeroFirst) {
  const struct {
    float v;
    int w, d;
    const char* out;
  } cases[] = {
      {0.5f, 3, 2, ".50"},
      {-0.5f, 3, 2, "***"},
      {-0.5f, 4, 2, "-.50"},
      {0.5f, 4, 2, "0.50"},
      {-0.5f, 5, 2, "-0.50"},
      {1.5f, 3, 2, "***"},
      {7.0f, 2, 0, "7."},
      {7.0f, 1, 0, "*"},
      {std::numeric_limits<float>::infinity(), 2, 2, "**"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(field(c.v, c.w, c.d), c.out) << "value " << c.v << " F" << c.w << "." << c.d;
}

TEST(FixedPointField, DoubleValuesAreNotNarrowed) {
  EXPECT_EQ(field(1234.5678, 10, 3), "  1234.568");
  // 0.1 + 2^-30 keeps its last digits only when not narrowed to float.
  EXPECT_EQ(field(0.1 + std::ldexp(1.0, -30), 14, 12), "0.100000000931");
  EXPECT_EQ(field(1.0e300, 8, 2), "********");
}

TEST(FixedPointField, AllPeriodsOfTheSweep) {
  for (int j = 1; j <= 300; ++j) {
    const float period = static_cast<float>(j * static_cast<double>(0.05f));
    char want[16];
    std::snprintf(want, sizeof want, "%3d.%04d", j * 500 / 10000, j * 500 % 10000);
    EXPECT_EQ(field(period, 8, 4), want) << "j = " << j;
  }
}

// Each test writes to unit 20, connected to a temporary file, and reads back
// exactly the bytes that reached the stream.
class FormattedOutput : public testsupport::UnitFileTest {
 protected:
  static void statement(const char* fmt, std::vector<float> values) {
    const cilist ci{kUnit, false, fmt};
    s_wsfe(&ci);
    for (float& v : values) fio_real(v);
    e_wsfe();
  }
};

TEST_F(FormattedOutput, WholeRow) {
  statement(kRowFormat, {1.0f, 523.4567f, 480.1f, 301.25f, 81.234f, 75.5f, 40.0f, 12.3456f, 11.0f, 6.5f});
  const std::string row =
      "  1.0000,  523.46,  480.10,  301.25,   81.23,   75.50,   40.00,   12.35,   11.00,    6.50";
  ASSERT_EQ(row.size(), 89u);
  EXPECT_EQ(written(), row + "\n");
}

TEST_F(FormattedOutput, RowsFollowEachOther) {
  statement(kRowFormat, {0.05f, 1618.56f, 1618.56f, 1618.56f, 10.627f, 10.627f, 10.627f,
                         0.098216f, 0.098216f, 0.098216f});
  statement(kRowFormat, {15.0f, 5.8546f, 5.8546f, 5.8546f, 15.002f, 15.002f, 15.002f,
                         33.201f, 33.201f, 33.201f});
  EXPECT_EQ(written(),
            "  0.0500, 1618.56, 1618.56, 1618.56,   10.63,   10.63,   10.63,    0.10,    0.10,    0.10\n"
            " 15.0000,    5.85,    5.85,    5.85,   15.00,   15.00,   15.00,   33.20,   33.20,   33.20\n");
}

TEST_F(FormattedOutput, StatementEndWritesLiteralsUpToTheNextField) {
  const struct {
    const char* fmt;
    std::vector<float> values;
    const char* out;
  } cases[] = {
      {kRowFormat, {}, "\n"},
      {kRowFormat, {1.0f}, "  1.0000,\n"},
      {kRowFormat, {1.0f, 2.0f}, "  1.0000,    2.00,\n"},
      {"('x=',F4.1,' end')", {1.0f}, "x= 1.0 end\n"},
      // Values left at the end of the format start a new record at the
      // last group of the outer level.
      {"(F4.1,2(',',F3.0))", {1.0f, 2.0f, 3.0f, 4.0f, 5.0f}, " 1.0, 2., 3.\n, 4., 5.\n"},
  };
  for (const auto& c : cases) {
    fresh();
    statement(c.fmt, c.values);
    EXPECT_EQ(written(), c.out) << "format " << c.fmt;
  }
}

TEST_F(FormattedOutput, LiteralsWithDoubledDelimiters) {
  const struct {
    const char* fmt;
    const char* out;
  } cases[] = {
      {"('it''s',F4.1)", "it's 1.0\n"},
      {"(\"say \"\"a\"\"\",F4.1)", "say \"a\" 1.0\n"},
      {"(\x02" "a\x02\x02" "b\x02,F4.1)", "a\x02" "b 1.0\n"},
      {"('a\"b',F4.1)", "a\"b 1.0\n"},
  };
  for (const auto& c : cases) {
    fresh();
    statement(c.fmt, {1.0f});
    EXPECT_EQ(written(), c.out) << "format " << c.fmt;
  }
}

TEST_F(FormattedOutput, StatementStateForTheReport) {
  const cilist ci{kUnit, false, kRowFormat};
  f__fmtbuf = "list io";
  f__fmtlen = 7;
  s_wsfe(&ci);
  EXPECT_EQ(f__init, io_mark::busy);
  EXPECT_EQ(f__curunit, &f__units[kUnit]);
  EXPECT_EQ(std::string(f__fmtbuf, f__fmtlen), std::string(kRowFormat, 18));
  EXPECT_FALSE(f__reading);
  EXPECT_TRUE(f__sequential);
  EXPECT_TRUE(f__formatted);
  EXPECT_TRUE(f__external);
  e_wsfe();
  EXPECT_EQ(f__init, io_mark::idle);
  EXPECT_EQ(f__fmtbuf, nullptr);
  EXPECT_EQ(f__fmtlen, 0);
  EXPECT_EQ(f__recpos, 0);
}

using testsupport::in_child;

TEST_F(FormattedOutput, FormatThatDoesNotParse) {
  const cilist ci{kUnit, false, "(F8.4,X)"};
  testsupport::outcome r = in_child([&] { s_wsfe(&ci); });
  EXPECT_EQ(r.signal, SIGABRT);
  EXPECT_EQ(r.err,
            "startio: error in format\n"
            "apparent state: unit 20 (unnamed)\n"
            "last format: (F8.4,X)\n"
            "lately writing sequential formatted external IO\n");
}

// A unit refused at the start is not made current, and the format not
// recorded: the report shows what the previous statement left.
TEST_F(FormattedOutput, RefusedUnitReportsThePreviousState) {
  const cilist prev{kUnit, false, nullptr};
  s_wsle(&prev);
  e_wsle();
  const std::string state = "apparent state: unit 20 (unnamed)\nlast format: list io\n";
  const cilist unconnected{kUnit + 1, false, kRowFormat};
  testsupport::outcome r = in_child([&] { s_wsfe(&unconnected); });
  EXPECT_EQ(r.signal, SIGABRT);
  std::string want = "sfe: unit not connected\n" + state;
  EXPECT_EQ(r.err.substr(0, want.size()), want);
  const cilist bad{100, false, kRowFormat};
  r = in_child([&] { s_wsfe(&bad); });
  EXPECT_EQ(r.signal, SIGABRT);
  want = "startio: illegal unit number\n" + state;
  EXPECT_EQ(r.err.substr(0, want.size()), want);
}

TEST_F(FormattedOutput, UnitThatCannotBeSwitchedToWriting) {
  // Connected read-only under a name that can no longer be reopened.
  unit& u = f__units[kUnit];
  u.uacc = ACC_READ;
  u.uwrt = false;
  u.ufnm = strdup("/nonexistent-dir/t.csv");
  const cilist ci{kUnit, false, kRowFormat};
  testsupport::outcome r = in_child([&] { s_wsfe(&ci); });
  EXPECT_EQ(r.signal, SIGABRT);
  EXPECT_EQ(r.err,
            "write start: can't write file\n"
            "apparent state: unit 20 named /nonexistent-dir/t.csv\n"
            "last format: (F8.4,9(\x02,\x02,F8.2))\n"
            "lately writing sequential formatted external IO\n");
  std::free(u.ufnm);
  u.ufnm = nullptr;
}

}  // namespace
