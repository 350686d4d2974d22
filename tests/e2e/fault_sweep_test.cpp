// Faults injected into a whole run: for each of write, fflush, fclose,
// ftruncate and malloc, a clean run counts the calls, then every call N in
// turn fails (tests/e2e/shims/fault.cpp). Whatever fails, the run ends in
// one of the documented ways: status 0 with a silent standard error and the
// whole table, or the report and an abort with a table of the header and
// whole rows only. Never status 0 with a short table, never a stale byte of
// the older, longer table that stands at the table's name.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "support/process.h"

namespace {

namespace fs = std::filesystem;

struct fault {
  const char* name;
  const char* call;
  int err;
  long quiet;          // failing calls that may end in status 0 and the whole table
  bool short_write = false;  // the failing write writes half its bytes first
};

void PrintTo(const fault& f, std::ostream* os) { *os << f.name; }

const char kAnswers[] = "r.dat\n0.05\nt.csv\n";

// A record of 100 rows, so that each run is short.
std::string small_record() {
  std::string s = "t a b c\n";
  char buf[96];
  for (int i = 0; i < 100; ++i) {
    snprintf(buf, sizeof buf, "%d.%02d %d %d %d\n", i / 100, i % 100, (i * 37) % 200 - 100,
             (i * 53) % 160 - 80, (i * 11) % 90 - 45);
    s += buf;
  }
  return s;
}

// The report's lines after its first one.
const std::regex kReportRest(
    "apparent state: unit (5 \\(unnamed\\)|11 named [^\\n]*|11 \\(unnamed\\))\\n"
    "(last format: [^\\n]*\\n)?"
    "lately (reading|writing) sequential formatted external IO\\n");

class FaultSweep : public testing::TestWithParam<fault> {
 protected:
  void SetUp() override {
    testsupport::write_file(dir_ / "r.dat", small_record());
    testsupport::outcome r = run(0);
    ASSERT_EQ(r.status, 0) << r.err;
    reference_ = testsupport::read_file(dir_ / "t.csv");
    ASSERT_EQ(std::count(reference_.begin(), reference_.end(), '\n'), 301);
  }

  // One run with call n failing (0: none), an older longer table in place.
  testsupport::outcome run(long n, const std::string& count_file = "") {
    testsupport::write_file(dir_ / "t.csv", std::string(200000, 'o') + "\n");
    testsupport::run_options o;
    o.cwd = dir_.path();
    o.preload = RSPEC_SHIM_DIR "/libfault.so";
    o.env = {{"RSPEC_FAULT_CALL", GetParam().call},
             {"RSPEC_FAULT_AT", std::to_string(n)},
             {"RSPEC_FAULT_ERRNO", std::to_string(GetParam().err)}};
    if (!count_file.empty()) o.env.push_back({"RSPEC_FAULT_COUNT", count_file});
    if (GetParam().short_write) o.env.push_back({"RSPEC_FAULT_SHORT", "1"});
    return testsupport::run({RSPEC_PROGRAM}, kAnswers, o);
  }

  testsupport::temp_dir dir_;
  std::string reference_;
};

TEST_P(FaultSweep, EveryCallFailingEndsInADocumentedWay) {
  const fault f = GetParam();
  if (std::strcmp(f.call, "malloc") == 0 && RSPEC_SANITIZED)
    GTEST_SKIP() << "the sanitizers own the allocator; allocation faults run in the plain build";
  const std::string count_file = (dir_ / "count").string();
  testsupport::outcome clean = run(0, count_file);
  ASSERT_EQ(clean.status, 0) << clean.err;
  const long calls = std::stol(testsupport::read_file(count_file));
  std::printf("%s: %ld calls in a whole run\n", f.name, calls);
  const std::string system_text = std::strerror(f.err);
  const std::regex first_line(
      "(write|open): " + system_text + "\\n|"
      "endfile: truncation failed in endfile\\n|"
      "(no space|malloc failure|realloc failure): out of free space\\n");
  int aborted = 0;
  for (long n = 1; n <= calls; ++n) {
    SCOPED_TRACE(std::string(f.call) + " call " + std::to_string(n) + " failing");
    testsupport::outcome r = run(n);
    const std::string table = fs::exists(dir_ / "t.csv") ? testsupport::read_file(dir_ / "t.csv") : "";
    if (r.status == 0) {
      std::printf("%s call %ld failing: status 0, the whole table\n", f.call, n);
      EXPECT_EQ(r.err, "");
      ASSERT_TRUE(table == reference_) << "status 0 with a table that is not the whole one: "
                                       << table.size() << " bytes";
      continue;
    }
    ++aborted;
    ASSERT_EQ(r.signal, SIGABRT) << r.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.err, m, first_line, std::regex_constants::match_continuous)) << r.err;
    EXPECT_TRUE(std::regex_match(r.err.substr(m.length()), kReportRest)) << r.err;
    // Header and whole rows only, or the older table untouched (the run
    // ended before the first record).
    if (table != std::string(200000, 'o') + "\n") {
      ASSERT_TRUE(table == reference_.substr(0, table.size())) << "a stale or wrong byte";
      ASSERT_TRUE(table.empty() || table.back() == '\n') << "a part of a row at the end";
    }
    // Each record of the table is a write of its own: the Nth failing
    // leaves exactly N - 1 lines.
    if (std::strcmp(f.call, "write") == 0) {
      EXPECT_EQ(r.err.substr(0, m.length()), "write: " + system_text + "\n");
      EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), n - 1);
    }
  }
  std::printf("%s: %d of %ld failing calls ended in the report\n", f.name, aborted, calls);
  EXPECT_EQ(calls - aborted, f.quiet) << "failing calls that went unreported";
  if (std::strcmp(f.call, "write") == 0) {
    EXPECT_EQ(calls, 301);
  }
}

// The calls that may fail unreported: the flush inside the cut at the
// table's close (nothing is left to write) and the flushes of standard
// error and output at exit (the console is not checked); the close of the
// record file (all of it was read); the cut when the first record is
// written (the cut at the close makes it good); the first open mode of each
// file (the next mode is tried).
INSTANTIATE_TEST_SUITE_P(Calls, FaultSweep,
                         testing::Values(fault{"write", "write", ENOSPC, 0},
                                         fault{"write_short", "write", ENOSPC, 0, true},
                                         fault{"fflush", "fflush", EIO, 3},
                                         fault{"fclose", "fclose", EIO, 1},
                                         fault{"ftruncate", "ftruncate", EIO, 1},
                                         fault{"malloc", "malloc", ENOMEM, 2}),
                         [](const testing::TestParamInfo<fault>& i) { return std::string(i.param.name); });

}  // namespace
