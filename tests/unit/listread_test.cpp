// Free-form reading, driven over temporary streams connected as unit 11 (and
// unit 5 for the console answer). Cases are tables of input and the items it
// leaves, grouped by rule. Fatal reports are observed in-process through the
// report hook, and a few as real processes whose whole standard error is
// compared.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "diag/diag.h"
#include "textio/listread.h"
#include "textio/internal.h"
#include "support/fatal_catch.h"
#include "support/process.h"

namespace {

using testsupport::fatal_report;

// An item that no read has touched.
constexpr float KEEP = -777.0f;
const float INF = std::numeric_limits<float>::infinity();
const std::string KEEP_TEXT(20, '#');

using row = std::array<float, 4>;

std::string bits(float f) {
  char b[64];
  snprintf(b, sizeof b, "%a", f);
  return b;
}

// Exact comparison: -0 differs from +0, infinities compare as themselves.
::testing::AssertionResult same_row(const row& want, const row& got) {
  for (int i = 0; i < 4; ++i)
    if (memcmp(&want[i], &got[i], sizeof(float)) != 0)
      return ::testing::AssertionFailure()
             << "item " << i + 1 << ": want " << bits(want[i]) << " got " << bits(got[i]);
  return ::testing::AssertionSuccess();
}

class ListRead : public ::testing::Test {
 protected:
  void SetUp() override { f__reset(); }
  void TearDown() override {
    disconnect(11);
    if (saved5_) {
      disconnect(5);
      f__units[5].ufd = saved5_;
      tm_reset(&f__units[5]);
    }
    f__init = io_mark::idle;
  }
  testsupport::catching_reports catching_;

  // Connect unit n straight to a temporary stream holding bytes.
  void connect(int n, const std::string& bytes) {
    if (n == 5 && !saved5_) saved5_ = f__units[5].ufd;
    disconnect(n);
    FILE* f = tmpfile();
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    rewind(f);
    attach(n, f);
  }
  void attach(int n, FILE* f) {
    unit* u = &f__units[n];
    unit_connect(u, f, ACC_READ, false);
    u->ufnm = nullptr;
    owned_[n] = f;
  }
  void disconnect(int n) {
    if (owned_[n] != nullptr) {
      fclose(owned_[n]);
      owned_[n] = nullptr;
      f__units[n].ufd = nullptr;
    }
  }

  // One row statement as the run issues it: four reals with end-of-file
  // detection, abandoned at the first nonzero status. True when complete.
  bool read_row(row& r) {
    cilist c{11, true, nullptr};
    if (s_rsle(&c) != 0) return false;
    for (float& x : r)
      if (lio_real(x) != 0) return false;
    return e_rsle() == 0;
  }
  // Rows until one reports end of file; `last` keeps that row's items.
  std::vector<row> read_rows(row* last = nullptr) {
    std::vector<row> rows;
    for (;;) {
      row r{KEEP, KEEP, KEEP, KEEP};
      if (!read_row(r)) {
        if (last) *last = r;
        return rows;
      }
      rows.push_back(r);
    }
  }

  // The header statement: four texts of 20 without end-of-file detection.
  // Guard bytes around each item catch a write past it.
  std::vector<std::string> read_header() {
    char area[4][24];
    memset(area, '#', sizeof area);
    cilist c{11, false, nullptr};
    s_rsle(&c);
    for (auto& a : area) do_lio(TYCHAR, 1, a + 2, 20);
    e_rsle();
    std::vector<std::string> out;
    for (auto& a : area) {
      EXPECT_EQ(std::string(a, 2), "##") << "written before an item";
      EXPECT_EQ(std::string(a + 22, 2), "##") << "written past an item";
      out.emplace_back(a + 2, 20);
    }
    return out;
  }

  // The console answer: one real, no end-of-file detection.
  float read_answer(float start = KEEP) {
    float x = start;
    cilist c{5, false, nullptr};
    s_rsle(&c);
    lio_real(x);
    e_rsle();
    return x;
  }

  FILE* owned_[MXUNIT] = {};
  FILE* saved5_ = nullptr;
};

std::string pad(const std::string& s) {
  if (s == KEEP_TEXT) return s;
  return s + std::string(20 - s.size(), ' ');
}

// ---- Rows of reals -------------------------------------------------------

struct rows_case {
  const char* input;
  std::vector<row> rows;  // the complete rows, in order
};

// Test names in the listing show the input, not an object dump.
void PrintTo(const rows_case& c, std::ostream* os) { *os << testing::PrintToString(std::string(c.input)); }

const rows_case separators[] = {
    {"0.01 1.5,-2.5\t3E2\n", {{0.01f, 1.5f, -2.5f, 300}}},
    {"1 2\n3 4\n5 6 7 8\n", {{1, 2, 3, 4}, {5, 6, 7, 8}}},
    {"\n   \n\t\n1 2 3 4\n", {{1, 2, 3, 4}}},
    {"  1 ,  2 ,3\t,\t4  \n", {{1, 2, 3, 4}}},
    {"1 2 3 4 5 6\n7 8 9 10\n", {{1, 2, 3, 4}, {7, 8, 9, 10}}},
    {"1 2 3 4\r\n5 6\r\n7 8\r\n", {{1, 2, 3, 4}, {5, 6, 7, 8}}},
    {"1 2 3 4\n\x1a" "5 6 7 8\n", {{1, 2, 3, 4}}},
    {"1 2 3 4\n5 6 7 8", {{1, 2, 3, 4}, {5, 6, 7, 8}}},
    {"1 2 3 4\n5 6 7 8 \t ", {{1, 2, 3, 4}, {5, 6, 7, 8}}},
    {"1 2 3 4\n5 6 7 8,", {{1, 2, 3, 4}}},
    {"1 2 3 4\n5 6 7 8 9", {{1, 2, 3, 4}}},
    {"", {}},
};

const rows_case nulls_and_slash[] = {
    {",,7,8\n", {{KEEP, KEEP, 7, 8}}},
    {"1,,,4\n", {{1, KEEP, KEEP, 4}}},
    {"1 , , , 4\n", {{1, KEEP, KEEP, 4}}},
    {"1 , , 4 ,\n", {}},  // the last comma separates 4: item 4 meets end of file
    {"1 2 / 5\n9 9 9 9\n", {{1, 2, KEEP, KEEP}, {9, 9, 9, 9}}},
    {"/\n", {{KEEP, KEEP, KEEP, KEEP}}},
    {"1 2/\n", {{1, 2, KEEP, KEEP}}},
    {"1,/\n", {{1, KEEP, KEEP, KEEP}}},
    {"-,.,1,2\n", {{KEEP, KEEP, 1, 2}}},
    {"+,-,.,1\n", {{KEEP, KEEP, KEEP, 1}}},
};

const rows_case repeats[] = {
    {"4*2.5\n", {{2.5f, 2.5f, 2.5f, 2.5f}}},
    {"5*2.5\n1 2 3 4\n", {{2.5f, 2.5f, 2.5f, 2.5f}, {1, 2, 3, 4}}},
    {"2* 9 9\n", {{KEEP, KEEP, 9, 9}}},
    {"2*,9,9\n", {{KEEP, KEEP, 9, 9}}},
    {"2*\n9 9\n", {{KEEP, KEEP, 9, 9}}},
    {"2*5,7,8\n", {{5, 5, 7, 8}}},
    // The comma after a repeated value belongs to its last repetition, so a
    // second comma right after it is a null value.
    {"2*5,,8 9\n", {{5, 5, KEEP, 8}}},
    {"2*5 , , 8 9\n", {{5, 5, KEEP, 8}}},
    {"3*5,,8\n", {{5, 5, 5, KEEP}}},
    {"1*5,,8 9\n", {{5, KEEP, 8, 9}}},
    {"2*,,8 9\n", {{KEEP, KEEP, KEEP, 8}}},
    {"2*5 , 2*6\n", {{5, 5, 6, 6}}},
    {"1 3*-4e1\n", {{1, -40, -40, -40}}},
    {"+2*3 1 2\n", {{3, 3, 1, 2}}},
    {"002*3 1 2\n", {{3, 3, 1, 2}}},
    {"2147483647*1\n", {{1, 1, 1, 1}}},
    {"2*/\n", {{KEEP, KEEP, KEEP, KEEP}}},
};

const rows_case numbers[] = {
    {"1.5D3 1.5d3 1.5E+3 1.5+3\n", {{1500, 1500, 1500, 1500}}},
    {"1.5-3 .5 5. 15e-4\n", {{0.0015f, 0.5f, 5, 0.0015f}}},
    {".5E3 .5e-1 -.5 +.25\n", {{500, 0.05f, -0.5f, 0.25f}}},
    {"1.5e-3 1.5E-03 2.5D+0 7e0\n", {{0.0015f, 0.0015f, 2.5f, 7}}},
    {"0.00012 000123 0.000 00.5e1\n", {{0.00012f, 123, 0, 5}}},
    {"1.2500 1200 0.0 1.E2\n", {{1.25f, 1200, 0, 100}}},
    {"-0 -0.0 1E39 1E-50\n", {{0.0f, 0.0f, INF, 0.0f}}},
    {"-1E39 -1E-50 +0 1e99999999\n", {{-INF, -0.0f, 0, INF}}},
    // Near the top of the single range and at the smallest subnormal.
    {"3.4028235E38 3.40282357e38 1.4E-45 7E-46\n",
     {{3.4028235e38f, INF, 1.4e-45f, 0.0f}}},
    {"1 2 3 1.5Q3\n", {{1, 2, 3, 1.5f}}},
    {"1 2 3 1.5abc\n", {{1, 2, 3, 1.5f}}},
    {"1.5.5 1 2\n", {{1.5f, 0.5f, 1, 2}}},
    {"1-2 3+1 5 6\n", {{0.01f, 30, 5, 6}}},
};

class ListReadRows : public ListRead,
                     public ::testing::WithParamInterface<rows_case> {};

TEST_P(ListReadRows, FillsTheItems) {
  const rows_case& c = GetParam();
  connect(11, c.input);
  std::vector<row> got;
  try {
    got = read_rows();
  } catch (const fatal_report& r) {
    FAIL() << c.input << ": report " << r.n << " " << r.ctx;
  }
  ASSERT_EQ(got.size(), c.rows.size()) << c.input;
  for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(same_row(c.rows[i], got[i])) << c.input;
}

INSTANTIATE_TEST_SUITE_P(Separators, ListReadRows, ::testing::ValuesIn(separators));
INSTANTIATE_TEST_SUITE_P(NullsAndSlash, ListReadRows, ::testing::ValuesIn(nulls_and_slash));
INSTANTIATE_TEST_SUITE_P(Repeats, ListReadRows, ::testing::ValuesIn(repeats));
INSTANTIATE_TEST_SUITE_P(Numbers, ListReadRows, ::testing::ValuesIn(numbers));


// A number of 60 significant digits converts as its first 40, cut.
TEST_F(ListRead, SixtyDigitsKeepForty) {
  const std::string d60 = "123456789012345678901234567890123456789987654321098765432109";
  const std::string d40 = d60.substr(0, 40);
  // The 41st digit is 9: rounding instead of cutting would differ in double.
  const double cut = strtod((d40 + "e20").c_str(), nullptr);
  const double cut_small = strtod((d40 + "e-40").c_str(), nullptr);
  connect(11, d60 + " 0." + d60 + " 1 2\n");
  std::vector<row> got = read_rows();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(same_row({static_cast<float>(cut), static_cast<float>(cut_small), 1, 2}, got[0]));

  // Seen through a double item, the cut is exact to the bit.
  connect(11, d60 + "\n" + "12" + std::string(49, '0') + "e-50\n");
  double x = 0, y = 0;
  cilist c{11, false, nullptr};
  s_rsle(&c);
  lio_double(x);
  e_rsle();
  s_rsle(&c);
  lio_double(y);
  e_rsle();
  EXPECT_EQ(x, cut);
  EXPECT_EQ(y, 1.2);  // 12 and 49 zeros: cut to 40 digits, zeros dropped
}

TEST_F(ListRead, DoubleItemKeepsTheDouble) {
  connect(11, "0.1 2*1e300\n");
  double v[3] = {};
  cilist c{11, false, nullptr};
  s_rsle(&c);
  do_lio(TYDREAL, 3, reinterpret_cast<char*>(v), sizeof(double));
  e_rsle();
  EXPECT_EQ(v[0], 0.1);
  EXPECT_EQ(v[1], 1e300);
  EXPECT_EQ(v[2], 1e300);
}

// A repeated value last in the file, with only blanks after it, reaches its
// first item; the second meets end of file and the row is abandoned.
TEST_F(ListRead, RepeatAtEndOfFileReachesOneItem) {
  connect(11, "1 2 3 4\n2*7  ");
  row last{};
  std::vector<row> got = read_rows(&last);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(same_row({7, KEEP, KEEP, KEEP}, last));
}

// ---- Fatal failures of a row --------------------------------------------

struct fatal_case {
  const char* input;
  int n;
  const char* ctx;
};

void PrintTo(const fatal_case& c, std::ostream* os) { *os << testing::PrintToString(std::string(c.input)); }

const fatal_case row_failures[] = {
    {"1.5E 1 2 3\n", 112, "exponent field"},
    {"1.5E+ 1 2 3\n", 112, "exponent field"},
    {"1.5d-,1 2 3\n", 112, "exponent field"},
    {"1E123456789\n", 112, "exponent field"},
    {"1E999999999\n", 112, "exponent field"},
    {"4- 5 6 7\n", 112, "exponent field"},
    {"+-,1 2 3\n", 112, "exponent field"},
    {"abc 1 2 3\n", 112, "invalid number"},
    {"1.5abc 1 2 3\n", 112, "invalid number"},
    {"1.5Q3 1 2 3\n", 112, "invalid number"},
    {"- 1 2 3\n", 112, "invalid number"},
    {". 1 2 3\n", 112, "invalid number"},
    {".E3 1 2 3\n", 112, "invalid number"},
    {"E3 1 2 3\n", 112, "invalid number"},
    {"T 1 2 3\n", 112, "invalid number"},
    {"(1,2) 3 4\n", 112, "invalid number"},
    {"1 2 3 4\n1\r2 3 4\n", 112, "invalid number"},  // a lone CR is no blank
    {"1 2 3 4\n1 2 3 \xe9\n", 112, "invalid number"},
    {"2*", 112, "invalid number"},
    {"2*x 1 2\n", 112, "invalid number"},
    {"0*5 1 2 3\n", 112, "bad repetition count"},
    {"00*5 1 2 3\n", 112, "bad repetition count"},
    {"-2*5 1 2 3\n", 112, "bad repetition count"},
    {"*5 1 2 3\n", 112, "bad repetition count"},
    {"1 2*5 *\n", 112, "bad repetition count"},
    {"2*3*4 1\n", 112, "bad repetition count"},  // the second star ends 3
    {"2147483648*1\n", 112, "bad repetition count"},
    {"99999999999999999999999999999999999999*1\n", 112, "bad repetition count"},
    {"10000000000000000000000000000000000000001*5\n", 112, "bad repetition count"},
    {"1 2 3 4\n5 6\n", -1, "list in"},
};

class ListReadRowFailure : public ListRead,
                           public ::testing::WithParamInterface<fatal_case> {};

// The row statement without end-of-file detection, so that end of file is
// fatal too; the other failures are fatal either way.
TEST_P(ListReadRowFailure, Reports) {
  const fatal_case& c = GetParam();
  connect(11, c.input);
  try {
    cilist ci{11, false, nullptr};
    for (int i = 0; i < 3; ++i) {
      float r[4];
      s_rsle(&ci);
      for (float& x : r) lio_real(x);
      e_rsle();
    }
    ADD_FAILURE() << "no report for " << c.input;
  } catch (const fatal_report& r) {
    EXPECT_EQ(r.n, c.n) << c.input;
    EXPECT_EQ(r.ctx, c.ctx) << c.input;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ListReadRowFailure, ::testing::ValuesIn(row_failures));

// A failure with end-of-file detection still is fatal, except end of file.
TEST_F(ListRead, DetectionReturnsOnlyEndOfFile) {
  connect(11, "1 2 3 4\n1 abc\n");
  row r{};
  EXPECT_TRUE(read_row(r));
  try {
    read_row(r);
    ADD_FAILURE() << "no report";
  } catch (const fatal_report& e) {
    EXPECT_EQ(e.n, 112);
    EXPECT_EQ(e.ctx, "invalid number");
  }
  // Items transferred before the end of file keep what they got; the mark
  // is idle again, so the next statement starts cleanly.
  f__init = io_mark::idle;
  connect(11, "1 2\n");
  row part{KEEP, KEEP, KEEP, KEEP};
  EXPECT_FALSE(read_row(part));
  EXPECT_TRUE(same_row({1, 2, KEEP, KEEP}, part));
  EXPECT_EQ(f__init, io_mark::idle);
  // The unit is at end of file now: the next start says so.
  cilist c{11, true, nullptr};
  EXPECT_EQ(s_rsle(&c), -1);
  EXPECT_EQ(f__init, io_mark::idle);
}

// ---- Statement start and end --------------------------------------------

TEST_F(ListRead, StartChecksTheUnit) {
  auto start = [](int n) -> fatal_report {
    cilist c{n, false, nullptr};
    try {
      s_rsle(&c);
    } catch (const fatal_report& r) {
      f__init = io_mark::idle;
      return r;
    }
    return {0, "none"};
  };
  fatal_report r = start(100);
  EXPECT_EQ(r.n, 101);
  EXPECT_EQ(r.ctx, "stler");
  r = start(-1);
  EXPECT_EQ(r.n, 101);
  r = start(12);
  EXPECT_EQ(r.n, 102);
  EXPECT_EQ(r.ctx, "lio");
  connect(11, "1\n");
  f__units[11].ufmt = false;
  r = start(11);
  EXPECT_EQ(r.n, 103);
  EXPECT_EQ(r.ctx, "lio");
  // Last written and not switchable (no name): 126.
  f__units[11].ufmt = true;
  f__units[11].uwrt = true;
  f__units[11].uacc = ACC_WRITE;
  r = start(11);
  EXPECT_EQ(r.n, 126);
  EXPECT_EQ(r.ctx, "read start");
  // Inside another statement: the recursion report of the start.
  f__units[11].uwrt = false;
  f__units[11].uacc = ACC_READ;
  cilist c{11, false, nullptr};
  s_rsle(&c);
  r = start(11);
  EXPECT_EQ(r.n, 131);
  EXPECT_EQ(r.ctx, "I/O recursion");
}

TEST_F(ListRead, UnknownItemKind) {
  connect(11, "1\n");
  cilist c{11, false, nullptr};
  s_rsle(&c);
  int v = 0;
  try {
    lio_int(v);
    ADD_FAILURE() << "no report";
  } catch (const fatal_report& r) {
    EXPECT_EQ(r.n, 204);
    EXPECT_EQ(r.ctx, "unknown type in lio");
  }
}

TEST_F(ListRead, EndReportsInputEndingInTheLine) {
  cilist c{11, false, nullptr};
  float x;
  connect(11, "1 2");
  s_rsle(&c);
  lio_real(x);
  EXPECT_EQ(e_rsle(), -1);
  EXPECT_TRUE(f__units[11].uend);
  connect(11, "1");
  s_rsle(&c);
  lio_real(x);
  EXPECT_EQ(e_rsle(), 0);  // the number itself met the end: flag already set
  EXPECT_EQ(x, 1.0f);
}

// ---- The console answer ---------------------------------------------------

TEST_F(ListRead, ConsoleAnswer) {
  connect(5, "\n\n  0.05\n");
  EXPECT_EQ(read_answer(), 0.05f);
  connect(5, ",\n0.3\n");
  EXPECT_EQ(read_answer(1.0f), 1.0f);  // a lone comma leaves it
  EXPECT_EQ(read_answer(), 0.3f);      // and the next read takes the next line
  connect(5, "\x1a\n0.05\n");
  try {
    read_answer();
    ADD_FAILURE() << "no report";
  } catch (const fatal_report& r) {
    EXPECT_EQ(r.n, -1);
    EXPECT_EQ(r.ctx, "list in");
  }
  // Once met, the end of input stays: the next read fails at its start.
  f__init = io_mark::idle;
  try {
    read_answer();
    ADD_FAILURE() << "no report";
  } catch (const fatal_report& r) {
    EXPECT_EQ(r.n, -1);
    EXPECT_EQ(r.ctx, "read start");
  }
}

// ---- Header texts -------------------------------------------------------

struct text_case {
  const char* title;
  std::string input;
  std::vector<std::string> items;  // unpadded, or KEEP_TEXT
};

void PrintTo(const text_case& c, std::ostream* os) { *os << c.title; }

const text_case texts[] = {
    {"words", "EW NS UD gal\n", {"EW", "NS", "UD", "gal"}},
    {"long word cut", "ABCDEFGHIJKLMNOPQRSTUVWXY b c d\n", {"ABCDEFGHIJKLMNOPQRST", "b", "c", "d"}},
    // A text keeps what its item stores and skips the rest as it reads.
    {"huge word skipped", std::string(100000, 'w') + " b c d\n", {std::string(20, 'w'), "b", "c", "d"}},
    {"long repeat cut", "2*ABCDEFGHIJKLMNOPQRSTUVWXYZ c d\n",
     {"ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOPQRST", "c", "d"}},
    {"backslash past the item", "'ABCDEFGHIJKLMNOPQRSTUVWX\\\nY' b c d\n",
     {"ABCDEFGHIJKLMNOPQRST", "b", "c", "d"}},
    // A backslash far beyond what the text keeps (and its buffer holds).
    {"backslash far past the item", "'" + std::string(200, 'A') + "\\\nY' b c d\n",
     {std::string(20, 'A'), "b", "c", "d"}},
    {"backslash at the item's end", "'ABCDEFGHIJKLMNOPQRS\\\nY' b c d\n",
     {"ABCDEFGHIJKLMNOPQRS\n", "b", "c", "d"}},
    {"commas", "ACC-EW,ACC-NS,,x\n", {"ACC-EW", "ACC-NS", KEEP_TEXT, "x"}},
    {"slash ends", "EW NS/UD gal\n", {"EW", "NS", KEEP_TEXT, KEEP_TEXT}},
    {"over lines", "EW\n\n NS\nUD gal extra\n", {"EW", "NS", "UD", "gal"}},
    {"apostrophes", "'a b,c/d' 'it''s' '' \"x\"\n", {"a b,c/d", "it's", "", "x"}},
    {"quotes", "\"q\"\"x\" \"it's\" 'say \"hi\"' \"\"\"\"\n", {"q\"x", "it's", "say \"hi\"", "\""}},
    {"delimited then comma", "'a', 'b' ,'c' , 'd'\n", {"a", "b", "c", "d"}},
    {"quote inside word", "it's a\"b c*d e\n", {"it's", "a\"b", "c*d", "e"}},
    {"repeat", "3*abc d\n", {"abc", "abc", "abc", "d"}},
    {"repeat delimited", "2*'x y' 2*z\n", {"x y", "x y", "z", "z"}},
    {"repeat null", "2* a b\n", {KEEP_TEXT, KEEP_TEXT, "a", "b"}},
    {"repeat null comma", "2*,a,b\n", {KEEP_TEXT, KEEP_TEXT, "a", "b"}},
    {"repeat null at end", "a b c 2*", {"a", "b", "c", KEEP_TEXT}},
    {"zero count is text", "0*abc 00*x 12 7\n", {"0*abc", "00*x", "12", "7"}},
    {"digits then text", "12ab 1'2 3/ x\n", {"12ab", "1'2", "3", KEEP_TEXT}},
    {"digits at end", "a b c 12", {"a", "b", "c", "12"}},
    {"leading zeros count", "0000000000000000000000002*a b c\n", {"a", "a", "b", "c"}},
    {"joined lines", "'ab\ncd' x y z\n", {"abcd", "x", "y", "z"}},
    {"backslash line end", "'ab\\\ncd' 'e\\f' '\\\n' z\n", {"ab\ncd", "e\\f", "\n", "z"}},
    {"CR LF", "'ab\r\ncd' x\r\ny z\r\n", {"abcd", "x", "y", "z"}},
    {"NUL cuts", std::string("ab\0cd x y z\n", 12), {"ab", "x", "y", "z"}},
    {"NUL delimited", std::string("'\0abc' x y z\n", 13), {"", "x", "y", "z"}},
    {"high bytes", "\xe9t\xe9 \xff y z\n", {"\xe9t\xe9", "\xff", "y", "z"}},
    {"end inside last text", "a b c 'xyz", {"a", "b", "c", KEEP_TEXT}},
    // Left open by the rules: a line end right after a star begins a text.
    {"star before line end", "3*\nabc d\n", {"\nabc", "\nabc", "\nabc", "d"}},
};

class ListReadTexts : public ListRead, public ::testing::WithParamInterface<text_case> {};

TEST_P(ListReadTexts, FillsTheItems) {
  const text_case& c = GetParam();
  connect(11, c.input);
  std::vector<std::string> got;
  try {
    got = read_header();
  } catch (const fatal_report& r) {
    FAIL() << "report " << r.n << " " << r.ctx;
  }
  ASSERT_EQ(got.size(), c.items.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], pad(c.items[i])) << "item " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(Header, ListReadTexts, ::testing::ValuesIn(texts),
                         [](const auto& info) {
                           std::string n = info.param.title;
                           for (char& ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

const fatal_case header_failures[] = {
    {"EW NS", -1, "list in"},
    {"", -1, "list in"},
    {"a b 'xyz", -1, "list in"},  // the text ends the input; the next item fails
    {"\n\n \n", -1, "list in"},
    {"a b 2*", -1, "list in"},  // a null for the third, the fourth meets the end
    {"a b 2147483648*x\n", 112, "bad repetition count"},
};

class ListReadHeaderFailure : public ListRead,
                              public ::testing::WithParamInterface<fatal_case> {};

TEST_P(ListReadHeaderFailure, Reports) {
  const fatal_case& c = GetParam();
  connect(11, c.input);
  try {
    read_header();
    ADD_FAILURE() << "no report";
  } catch (const fatal_report& r) {
    EXPECT_EQ(r.n, c.n);
    EXPECT_EQ(r.ctx, c.ctx);
  }
}

INSTANTIATE_TEST_SUITE_P(Header, ListReadHeaderFailure, ::testing::ValuesIn(header_failures));

// After an unterminated last text the header completes and the unit stays
// at end of file: the first row read reports end of file at its start.
TEST_F(ListRead, UnterminatedLastTextLeavesEndOfFile) {
  connect(11, "a b c 'xyz");
  read_header();
  EXPECT_EQ(read_rows().size(), 0u);
  cilist c{11, true, nullptr};
  EXPECT_EQ(s_rsle(&c), -1);
}

// A text longer than several buffer steps arrives whole in a long item.
TEST_F(ListRead, LongTextGrowsTheBuffer) {
  std::string word;
  for (int i = 0; i < 700; ++i) word += static_cast<char>('a' + i % 26);
  connect(11, word + " '" + word + "'\n");
  std::vector<char> a(800, '#'), b(800, '#');
  cilist c{11, false, nullptr};
  s_rsle(&c);
  do_lio(TYCHAR, 1, a.data(), 800);
  do_lio(TYCHAR, 1, b.data(), 800);
  e_rsle();
  EXPECT_EQ(std::string(a.data(), 800), word + std::string(100, ' '));
  EXPECT_EQ(std::string(b.data(), 800), word + std::string(100, ' '));
}

// ---- Read errors of the stream ------------------------------------------

// A stream that delivers `data` and then fails every read with EIO.
struct failing_source {
  std::string data;
  size_t pos = 0;
};

ssize_t failing_read(void* cookie, char* buf, size_t size) {
  auto* s = static_cast<failing_source*>(cookie);
  if (s->pos == s->data.size()) {
    errno = EIO;
    return -1;
  }
  size_t n = std::min(size, s->data.size() - s->pos);
  memcpy(buf, s->data.data() + s->pos, n);
  s->pos += n;
  return static_cast<ssize_t>(n);
}

TEST_F(ListRead, ReadErrorAfterAValueIsTheSystemError) {
  failing_source src{"1.5"};
  FILE* f = fopencookie(&src, "r", {failing_read, nullptr, nullptr, nullptr});
  attach(11, f);
  row r{KEEP, KEEP, KEEP, KEEP};
  try {
    read_row(r);
    ADD_FAILURE() << "no report";
  } catch (const fatal_report& e) {
    EXPECT_EQ(e.n, EIO);
    EXPECT_EQ(e.ctx, "list in");
  }
  EXPECT_FALSE(ferror(f));       // cleared before the report
  EXPECT_EQ(r[0], KEEP);         // and nothing stored
  EXPECT_FALSE(f__units[11].uend);
}

TEST_F(ListRead, ReadErrorActsAsEndOfInput) {
  // Where a value begins: end of file, "list in"; the flag stays clear.
  failing_source src{"1 2 3 4\n1 2\n"};
  FILE* f = fopencookie(&src, "r", {failing_read, nullptr, nullptr, nullptr});
  attach(11, f);
  row r{KEEP, KEEP, KEEP, KEEP};
  EXPECT_TRUE(read_row(r));
  row part{KEEP, KEEP, KEEP, KEEP};
  EXPECT_FALSE(read_row(part));
  EXPECT_TRUE(same_row({1, 2, KEEP, KEEP}, part));
  EXPECT_FALSE(f__units[11].uend);

  // While the rest of the line is skipped: the end returns -1.
  failing_source src2{"1 2 3 4 5"};
  disconnect(11);
  f = fopencookie(&src2, "r", {failing_read, nullptr, nullptr, nullptr});
  attach(11, f);
  cilist c{11, false, nullptr};
  s_rsle(&c);
  for (float& x : r) lio_real(x);
  EXPECT_EQ(e_rsle(), -1);
  EXPECT_FALSE(f__units[11].uend);
}

// ---- Whole reports of real processes ------------------------------------

class ListReadReport : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/rspec-lread-XXXXXX";
    int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    close(fd);
    name_ = tmpl;
  }
  void TearDown() override { unlink(name_.c_str()); }

  // The report of reading `input` as the record file: the header, then
  // rows until end of file, as the run does after its two name answers.
  testsupport::outcome run(const std::string& input, bool after_name_answers = true) {
    FILE* f = fopen(name_.c_str(), "w");
    fwrite(input.data(), 1, input.size(), f);
    fclose(f);
    return testsupport::in_child([&] {
      f__fatal_hook = nullptr;  // the real report, in the child
      f__reset();
      // The fixed-width name reads before have set this.
      f__sequential = after_name_answers;
      std::string var = name_ + std::string(30 - name_.size(), ' ');
      f_open(11, var.data(), 30);
      char head[4][20];
      cilist h{11, false, nullptr};
      s_rsle(&h);
      for (auto& t : head) do_lio(TYCHAR, 1, t, 20);
      e_rsle();
      for (;;) {
        float r[4];
        cilist c{11, true, nullptr};
        if (s_rsle(&c) != 0) break;
        bool ok = true;
        for (float& x : r)
          if (ok && lio_real(x) != 0) ok = false;
        if (!ok || e_rsle() != 0) break;
      }
      f_clos(11);
    });
  }
  std::string tail(const char* lately = "reading sequential") const {
    return "apparent state: unit 11 named " + name_ + "\nlast format: list io\nlately " +
           lately + " formatted external IO\n";
  }
  std::string name_;
};

TEST_F(ListReadReport, WholeStandardError) {
  struct {
    std::string input;
    std::string first;
  } cases[] = {
      {"EW NS", "list in: end of file\n"},
      {"", "list in: end of file\n"},
      {"EW NS UD gal\n0 1 2 3\n0.01 abc 1 2\n", "invalid number: incomprehensible list input\n"},
      {"EW NS UD gal\n0 1E123456789\n", "exponent field: incomprehensible list input\n"},
      {"EW NS UD gal\n0*5\n", "bad repetition count: incomprehensible list input\n"},
  };
  for (const auto& c : cases) {
    testsupport::outcome r = run(c.input);
    EXPECT_EQ(r.signal, SIGABRT) << c.input;
    EXPECT_EQ(r.err, c.first + tail()) << c.input;
  }
}

TEST_F(ListReadReport, CompleteRecordIsQuiet) {
  testsupport::outcome r = run("EW NS UD gal\n0 1 2 3\n0.01,4,5,6\n");
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.err, "");
}

// A free-form read sets reading, formatted and external, not sequential.
TEST_F(ListReadReport, FreeFormReadAloneIsNotSequential) {
  testsupport::outcome r = run("EW", false);
  EXPECT_EQ(r.signal, SIGABRT);
  EXPECT_EQ(r.err, "list in: end of file\n" + tail("reading direct"));
}

}  // namespace
