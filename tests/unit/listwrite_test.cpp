// List output: the renderings of texts, integers and reals, the line
// breaks at 80 columns, the record buffer, and the failed switch to writing.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/unit_file.h"
#include "textio/internal.h"
#include "textio/textio.h"

namespace {

constexpr int kUnit = testsupport::UnitFileTest::kUnit;

// The fixed area the record buffer starts with (taken before any test runs).
char* const kFixedArea = f__buf;

// One item of a list output statement, passed with the kind the run uses.
using Item = std::variant<std::string, int32_t, float>;

void put(const Item& it) {
  if (auto* s = std::get_if<std::string>(&it)) {
    lio_text(s->data(), static_cast<int>(s->size()));
  } else if (auto* i = std::get_if<int32_t>(&it)) {
    int32_t v = *i;
    lio_int(v);
  } else {
    float v = std::get<float>(it);
    lio_real(v);
  }
}

// Each test writes to unit 20, connected to a temporary file, and reads back
// exactly the bytes that reached the stream.
class ListOutput : public testsupport::UnitFileTest {
 protected:
  // One statement with the given items; returns everything written so far.
  static std::string statement(const std::vector<Item>& items) {
    const cilist ci{kUnit, false, nullptr};
    s_wsle(&ci);
    for (const Item& it : items) put(it);
    e_wsle();
    return written();
  }

  template <typename T>
  static std::string one_item(int kind, T v) {
    const cilist ci{kUnit, false, nullptr};
    s_wsle(&ci);
    do_lio(kind, 1, reinterpret_cast<char*>(&v), sizeof v);
    e_wsle();
    return written();
  }
};

TEST_F(ListOutput, RealRenderings) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float v;
    const char* line;
  } cases[] = {
      {0.02f, "  0.0199999996"},
      {0.005f, "  0.00499999989"},
      {0.01f, "  0.00999999978"},
      {-0.02f, " -0.0199999996"},
      // A whole number gets its point; no fraction zero is added.
      {100.0f, "  100."},
      {1.0f, "  1."},
      {-7.0f, " -7."},
      {123456789.0f, "  123456792."},
      {100000000.0f, "  100000000."},
      // Exponent form from 1E9 up and below 1E-4, the point before the E.
      {1.0e9f, "  1.E+09"},
      {1.0e10f, "  1.E+10"},
      {1.5e9f, "  1.5E+09"},
      {-1.5e9f, " -1.5E+09"},
      {2.5e-5f, "  2.49999994E-05"},
      {0.0001f, "  9.99999975E-05"},
      {0.001f, "  0.00100000005"},
      // Zero of either sign.
      {0.0f, "  0."},
      {-0.0f, "  0."},
      // Infinities and NaNs as the conversion writes them; a NaN with its
      // sign bit set is not below zero, and its "-NAN" gets the point.
      {inf, "  INF"},
      {-inf, " -INF"},
      {nan, "  NAN"},
      {std::copysign(nan, -1.0f), "  -NAN."},
  };
  for (const auto& c : cases) {
    fresh();
    EXPECT_EQ(one_item(TYREAL, c.v), std::string(c.line) + "\n") << "value " << c.v;
  }
}

TEST_F(ListOutput, DoublePrecisionReals) {
  const double v[2] = {0.1, -1.0e300};
  const cilist ci{kUnit, false, nullptr};
  s_wsle(&ci);
  do_lio(TYDREAL, 2, (char*)v, sizeof v[0]);
  e_wsle();
  EXPECT_EQ(written(), "  0.1 -1.E+300\n");
}

TEST_F(ListOutput, Integers) {
  const struct {
    int kind;
    int64_t v;
    const char* line;
  } cases[] = {
      {TYLONG, 6000, " 6000"},
      {TYLONG, 0, " 0"},
      {TYLONG, -5, " -5"},
      {TYLONG, INT32_MAX, " 2147483647"},
      {TYLONG, INT32_MIN, " -2147483648"},
      {TYSHORT, -32768, " -32768"},
      {TYINT1, -128, " -128"},
      {TYQUAD, INT64_MIN, " -9223372036854775808"},
  };
  for (const auto& c : cases) {
    fresh();
    std::string got;
    switch (c.kind) {
      case TYLONG: got = one_item(c.kind, static_cast<int32_t>(c.v)); break;
      case TYSHORT: got = one_item(c.kind, static_cast<int16_t>(c.v)); break;
      case TYINT1: got = one_item(c.kind, static_cast<int8_t>(c.v)); break;
      default: got = one_item(c.kind, c.v); break;
    }
    EXPECT_EQ(got, std::string(c.line) + "\n") << "kind " << c.kind << " value " << c.v;
  }
}

TEST_F(ListOutput, TextsAndTheLeadingBlank) {
  const std::string header =
      "period(s), acc 1, acc 2, acc 3, vel 1, vel 2, vel 3, dis 1, dis 2, dis 3";
  ASSERT_EQ(header.size(), 72u);
  const struct {
    std::vector<Item> items;
    std::string line;
  } cases[] = {
      {{}, ""},  // an empty statement is the newline alone
      {{std::string("Enter Damping Factor")}, " Enter Damping Factor"},
      {{header}, " " + header},
      {{std::string("ab  ")}, " ab  "},  // trailing blanks are written
      {{std::string("it's \"so\"")}, " it's \"so\""},
      {{std::string("ab"), std::string("cd")}, " abcd"},
      {{int32_t{5}, std::string("x")}, " 5x"},
      {{1.0f, std::string("x"), int32_t{-2}}, "  1.x -2"},
      {{std::string("nn and DT="), int32_t{6000}, 0.01f}, " nn and DT= 6000  0.00999999978"},
      {{std::string("nn and DT="), int32_t{0}, 0.0f}, " nn and DT= 0  0."},
  };
  for (const auto& c : cases) {
    fresh();
    EXPECT_EQ(statement(c.items), c.line + "\n") << "expected \"" << c.line << "\"";
  }
}

TEST_F(ListOutput, LineBreaksAtEightyColumns) {
  const std::string t70(70, 'a');
  const struct {
    std::vector<Item> items;
    std::string lines;
  } cases[] = {
      // Integers test their digits only: 71 + 9 = 80 breaks, 71 + 8 fits.
      {{t70, int32_t{123456789}}, " " + t70 + "\n 123456789\n"},
      {{t70, int32_t{12345678}}, " " + t70 + " 12345678\n"},
      {{t70, int32_t{-12345678}}, " " + t70 + " -12345678\n"},
      // Reals test their whole rendering: 71 + 15 breaks.
      {{t70, 0.01f}, " " + t70 + "\n  0.00999999978\n"},
      {{std::string(64, 'a'), -0.02f}, " " + std::string(64, 'a') + " -0.0199999996\n"},
      {{std::string(65, 'a'), -0.02f}, " " + std::string(65, 'a') + "\n -0.0199999996\n"},
      // Texts test their length; on a new record they get the blank again.
      {{t70, std::string(8, 'b')}, " " + t70 + std::string(8, 'b') + "\n"},
      {{t70, std::string(9, 'b')}, " " + t70 + "\n " + std::string(9, 'b') + "\n"},
      // Too long for any line: written whole, no empty line before it.
      {{std::string(85, 'c')}, " " + std::string(85, 'c') + "\n"},
      {{std::string(80, 'c')}, " " + std::string(80, 'c') + "\n"},
      {{std::string(85, 'c'), std::string("d")}, " " + std::string(85, 'c') + "\n d\n"},
  };
  for (const auto& c : cases) {
    fresh();
    EXPECT_EQ(statement(c.items), c.lines);
  }
}

TEST_F(ListOutput, RecordWithNulByte) {
  EXPECT_EQ(statement({std::string("a\0b", 3)}), std::string(" a\0b\n", 5));
}

TEST_F(ListOutput, RecordsFollowEachOther) {
  statement({std::string("one")});
  statement({});
  EXPECT_EQ(statement({int32_t{2}}), " one\n\n 2\n");
}

TEST_F(ListOutput, BufferGrowsByDoublingAndNeverShrinks) {
  // Start again from the fixed area, whatever earlier tests did to it.
  if (f__buf != kFixedArea) std::free(f__buf);
  f__buf = kFixedArea;
  f__buflen = 400;

  // 399 characters fit the fixed area; the newline and the NUL after them
  // do not, so the record end moves it to the heap at 1024 bytes.
  const std::string t398(398, 'x');
  EXPECT_EQ(statement({t398}), " " + t398 + "\n");
  EXPECT_NE(f__buf, kFixedArea);
  EXPECT_EQ(f__buflen, 1024);

  const std::string t5000(5000, 'y');
  EXPECT_EQ(statement({t5000}), " " + t398 + "\n " + t5000 + "\n");
  EXPECT_EQ(f__buflen, 8192);

  statement({std::string("z")});
  EXPECT_EQ(f__buflen, 8192);
  EXPECT_EQ(written(), " " + t398 + "\n " + t5000 + "\n z\n");
}

TEST_F(ListOutput, OtherKindsTheRunNeverPasses) {
  const float c[2] = {1.0f, -0.5f};
  const double dc[2] = {0.0, 2.5e-5};
  const int32_t l = 1;
  const int8_t l1 = 0;
  const cilist ci{kUnit, false, nullptr};
  s_wsle(&ci);
  do_lio(TYCOMPLEX, 1, (char*)c, sizeof c);
  do_lio(TYDCOMPLEX, 1, (char*)dc, sizeof dc);
  do_lio(TYLOGICAL, 1, (char*)&l, sizeof l);
  do_lio(TYLOGICAL1, 1, (char*)&l1, sizeof l1);
  e_wsle();
  EXPECT_EQ(written(), " (1.,-0.5) (0.,2.5E-05) T F\n");
}

using testsupport::in_child;

constexpr int kNoPrivilegeDrop = 77;

TEST(ListOutputFailure, ReadOnlyTableFileCannotBeWritten) {
  char dir[] = "/tmp/lwXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  chmod(dir, 0755);
  const std::string name = std::string(dir) + "/t.csv";
  {
    FILE* f = std::fopen(name.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("old contents\n", f);
    std::fclose(f);
  }
  chmod(name.c_str(), 0444);

  testsupport::outcome r = in_child([&] {
    // As root, permissions deny nothing: become nobody first.
    if (geteuid() == 0 && (setresgid(65534, 65534, 65534) != 0 ||
                           setresuid(65534, 65534, 65534) != 0))
      _exit(kNoPrivilegeDrop);
    char var[30];
    std::memset(var, ' ', sizeof var);
    std::memcpy(var, name.data(), name.size());
    f_open(11, var, sizeof var);
    // The run has read the file names by then, which marks the I/O as
    // sequential in the report.
    f__sequential = true;
    const cilist ci{11, false, nullptr};
    s_wsle(&ci);
    char header[] = "period(s)";
    do_lio(TYCHAR, 1, header, sizeof header - 1);
    e_wsle();
    _exit(0);
  });

  std::string left;
  if (FILE* f = std::fopen(name.c_str(), "r")) {
    for (int c; (c = std::getc(f)) != EOF;) left += static_cast<char>(c);
    std::fclose(f);
  }
  unlink(name.c_str());
  rmdir(dir);

  if (r.status == kNoPrivilegeDrop)
    GTEST_SKIP() << "cannot drop root privileges to uid 65534; a read-only "
                    "file cannot be made unwritable for root";
  EXPECT_EQ(r.signal, SIGABRT) << "status " << r.status << "\n" << r.err;
  EXPECT_EQ(r.err,
            "list output start: can't write file\n"
            "apparent state: unit 11 named " + name + "\n"
            "last format: list io\n"
            "lately writing sequential formatted external IO\n");
  EXPECT_EQ(left, "old contents\n");
}

TEST(ListOutputFailure, UnknownItemKind) {
  testsupport::outcome r = in_child([] {
    const cilist ci{6, false, nullptr};
    s_wsle(&ci);
    int32_t v = 1;
    do_lio(10, 1, reinterpret_cast<char*>(&v), sizeof v);
    _exit(0);
  });
  ASSERT_NE(r.signal, 0) << r.err;
  EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
            "unknown type in lio: illegal error number 204\n");
}

}  // namespace
