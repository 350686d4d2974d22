// The number pieces of rspec-import: reading Fortran-style fields and
// formats, and writing the shortest text that reads back to the same float.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "import/channel.h"
#include "import/numtext.h"

using import::parse_real;

namespace {

double real(const char* text, int decimals = 0) {
  double v = NAN;
  EXPECT_TRUE(parse_real(text, v, decimals)) << text;
  return v;
}

TEST(ImportNumbers, FortranRealForms) {
  EXPECT_EQ(real(" 1.5057E+0"), 1.5057);
  EXPECT_EQ(real("1.5D3"), 1500.0);
  EXPECT_EQ(real("1.5d+3"), 1500.0);
  EXPECT_EQ(real("1.5-3"), 0.0015);   // signed exponent without a letter
  EXPECT_EQ(real("-.0050"), -0.005);  // leading dot
  EXPECT_EQ(real("5."), 5.0);
  EXPECT_EQ(real("  -999.000000 "), -999.0);
  EXPECT_EQ(real("12345", 5), 0.12345);    // F8.5 field with no point
  EXPECT_EQ(real("1.2345", 5), 1.2345);    // a written point wins
  EXPECT_EQ(real("-1.0000000E-01", 7), -0.1);
  double v;
  for (const char* bad : {"", "   ", "-", ".", "E5", "1.5E", "1.5E+", "1.5Q3", "1,5", "1.5.5", "--1", "1 2"})
    EXPECT_FALSE(parse_real(bad, v)) << '"' << bad << '"';
}

void expect_format(const char* text, int per_line, char kind, int width, int decimals) {
  import::fortran_format f;
  ASSERT_TRUE(import::parse_format(text, f)) << text;
  EXPECT_EQ(f.per_line, per_line) << text;
  EXPECT_EQ(f.kind, kind) << text;
  EXPECT_EQ(f.width, width) << text;
  EXPECT_EQ(f.decimals, decimals) << text;
}

TEST(ImportNumbers, Formats) {
  expect_format("(10I8)", 10, 'I', 8, 0);
  expect_format("( 8f9.6 )", 8, 'F', 9, 6);
  expect_format("(1P5E15.6)", 5, 'E', 15, 6);
  expect_format("(E15.7)", 1, 'E', 15, 7);
  expect_format("(6D13.6)", 6, 'E', 13, 6);
  import::fortran_format f;
  for (const char* bad : {"10I8", "(10X8)", "(10F)", "(10F8.)", "(3F8.2,2I5)", "()"})
    EXPECT_FALSE(import::parse_format(bad, f)) << bad;
}

// Fields that run together are cut by width; the last line may be partial;
// a short line before the last, an extra value, and the file ending early
// are refused with the line.
TEST(ImportNumbers, ValuesByWidthAndByBlanks) {
  auto f = import::text_file::from_text(
      "x", " 1.5057E+0-2.2223E+0-1.9234E+0\r\n-5.0138E-1 1.9171E+0 1.5120E+0\r\n-2.8745E-1\r\n");
  std::vector<double> v;
  EXPECT_EQ(import::read_values(f, 1, 7, {3, 10, 0}, v), 4);
  EXPECT_EQ(v, (std::vector<double>{1.5057, -2.2223, -1.9234, -0.50138, 1.9171, 1.512, -0.28745}));
  auto expect_refusal = [&](long long count, import::value_layout layout, int line, const char* what) {
    std::vector<double> w;
    try {
      import::read_values(f, 1, count, layout, w);
      ADD_FAILURE() << "not refused: " << what;
    } catch (const import::refusal& r) {
      EXPECT_EQ(r.line, line);
      EXPECT_STREQ(r.what(), what);
    }
  };
  expect_refusal(8, {3, 10, 0}, 3, "the file ends after 7 of the 8 declared samples");
  expect_refusal(5, {3, 10, 0}, 2, "more values than the 5 declared");
  expect_refusal(7, {4, 10, 0}, 1, "a short line: 3 values where the layout has 4");
  expect_refusal(7, {2, 10, 0}, 1, "3 values on the line; the layout has 2");
  expect_refusal(3, {0, 0, 0}, 1, "not a number: \"1.5057E+0-2.2223E+0-1.9234E+0\"");
  const double nodata = -0.28745;
  std::vector<double> w;
  EXPECT_THROW(import::read_values(f, 1, 7, {3, 10, 0}, w, &nodata), import::refusal);

  auto g = import::text_file::from_text("y", "  .5   -1.25D-1\n\n 3\x1a 4\n");
  v.clear();
  EXPECT_EQ(import::read_values(g, 1, 3, {0, 0, 0}, v), 4);
  EXPECT_EQ(v, (std::vector<double>{0.5, -0.125, 3.0}));
  EXPECT_EQ(g.count(), 3);  // Ctrl-Z ends the input
}

// The written text reads back (strtod, then float) to the same float, and no
// shorter %g text does.
TEST(ImportNumbers, ShortestFloatText) {
  EXPECT_EQ(import::float_text(0.0f), "0");
  EXPECT_EQ(import::float_text(-0.0f), "0");
  EXPECT_EQ(import::float_text(0.005f), "0.005");
  EXPECT_EQ(import::float_text(static_cast<float>(1.5057)), "1.5057");
  EXPECT_EQ(import::float_text(-16.58577f), "-16.58577");
  std::mt19937 gen(7);
  std::uniform_int_distribution<std::uint32_t> bits;
  for (int k = 0; k < 200000; ++k) {
    std::uint32_t b = bits(gen);
    float f;
    std::memcpy(&f, &b, sizeof f);
    if (!std::isfinite(f)) continue;
    std::string t = import::float_text(f);
    float back = static_cast<float>(std::strtod(t.c_str(), nullptr));
    ASSERT_EQ(back, f) << t;
    if (f == 0.0f) continue;
    // One significant digit fewer does not read back.
    size_t digits = 0;
    for (char c : t.substr(0, t.find('e'))) digits += c >= '0' && c <= '9';
    if (t.find('e') == std::string::npos) {  // leading zeros of 0.00x are no digits
      size_t first = t.find_first_of("123456789");
      digits = 0;
      for (size_t i = first; i < t.size(); ++i) digits += t[i] >= '0' && t[i] <= '9';
    }
    if (digits > 1) {
      char shorter[40];
      std::snprintf(shorter, sizeof shorter, "%.*g", static_cast<int>(digits - 1), static_cast<double>(f));
      ASSERT_NE(static_cast<float>(std::strtod(shorter, nullptr)), f) << t << " " << shorter;
    }
  }
}

TEST(ImportNumbers, ComponentNamesAndDates) {
  std::string label;
  bool vertical = true;
  ASSERT_TRUE(import::name_component(" 360 ", label, vertical));
  EXPECT_EQ(label, "H360");
  EXPECT_FALSE(vertical);
  ASSERT_TRUE(import::name_component("up", label, vertical));
  EXPECT_EQ(label, "UP");
  EXPECT_TRUE(vertical);
  ASSERT_TRUE(import::name_component("HNZ", label, vertical));
  EXPECT_TRUE(vertical);
  ASSERT_TRUE(import::name_component("HN1", label, vertical));
  EXPECT_FALSE(vertical);
  ASSERT_TRUE(import::name_component("U-D", label, vertical));
  EXPECT_EQ(label, "UD");
  EXPECT_TRUE(vertical);
  EXPECT_FALSE(import::name_component("400", label, vertical));
  EXPECT_FALSE(import::name_component("N/S", label, vertical));
  EXPECT_EQ(import::civil_day(1970, 1, 1), 0);
  EXPECT_EQ(import::civil_day(2020, 5, 15), 18397);  // 1589500800 s
  EXPECT_EQ(import::civil_day(2000, 3, 1) - import::civil_day(2000, 2, 28), 2);  // a leap year
  EXPECT_EQ(import::civil_day(1900, 3, 1) - import::civil_day(1900, 2, 28), 1);  // not one
  EXPECT_EQ(import::civil_day(1989, 1, 1) + 290, import::civil_day(1989, 10, 18));  // day 291
  // A day as large as a file's header can make it does not overflow.
  EXPECT_EQ(import::civil_day(1970, 1, 2147483647), 2147483646);
}

}  // namespace
