// The start-up, the ends and the fatal report, run as real processes of the
// text-layer driver, with standard error compared byte for byte.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstring>

#include "diag/diag.h"
#include "support/process.h"
#include "textio/internal.h"

using testsupport::outcome;
using testsupport::temp_dir;

namespace {

const std::string driver = RSPEC_BINARY_DIR "/tests/textio_driver";

struct report_case {
  const char* title;
  std::vector<std::string> steps;
  std::string input;      // console input
  std::string err;        // expected standard error, whole
  int status;             // expected exit status, or -1 for death by signal
  int signal;             // expected signal
};

void PrintTo(const report_case& c, std::ostream* os) { *os << c.title; }

// A whole report made before any statement or connection.
std::string outside_any_statement(const char* first) {
  return std::string(first) + "\napparent state: internal I/O\nlately writing direct unformatted internal IO\n";
}

const report_case report_cases[] = {
    {"stop with a code", {"stop:1"}, "", "STOP 1 statement executed\n", 0, 0},
    {"stop without a code", {"say:x", "stop:"}, "", "", 0, 0},
    {"end of input at a file-name question", {"name"}, "",
     "fmt: end of file\napparent state: unit 5 (unnamed)\nlast format: (A20)\n"
     "lately reading sequential formatted external IO\n", -1, SIGABRT},
    {"short last line without line end", {"name"}, "quake",
     "fmt: end of file\napparent state: unit 5 (unnamed)\nlast format: (A20)\n"
     "lately reading sequential formatted external IO\n", -1, SIGABRT},
    {"read started at end of input", {"name", "name"}, "abcdefghijklmnopqrstu",
     "read start: end of file\napparent state: unit 5 (unnamed)\nlast format: (A20)\n"
     "lately reading sequential formatted external IO\n", -1, SIGABRT},
    {"null file name after a name read", {"name", "open:"}, "   \n",
     "open: null file name\napparent state: unit 11 named \n"
     "lately reading sequential formatted external IO\n", -1, SIGABRT},
    {"missing directory", {"name", "open:nodir/x.csv"}, "x\n",
     "open: No such file or directory\napparent state: unit 11 named nodir/x.csv\n"
     "lately reading sequential formatted external IO\n", -1, SIGABRT},
    {"illegal error number", {"kind:99"}, "",
     "unknown type in lio: illegal error number 204\napparent state: unit 6 (unnamed)\n"
     "last format: list io\nlately writing direct formatted external IO\n", -1, SIGABRT},
    // A list output statement leaves its unit current, the format "list
    // io" and the flags writing, formatted and external (not sequential).
    {"after list output", {"say:x", "fatal:28:t"}, "",
     "t: No space left on device\napparent state: unit 6 (unnamed)\nlast format: list io\n"
     "lately writing direct formatted external IO\n", -1, SIGABRT},
    {"message table", {"fatal:131:I/O recursion"}, "",
     "I/O recursion: I/O started while already doing I/O\napparent state: internal I/O\n"
     "lately writing direct unformatted internal IO\n", -1, SIGABRT},
    // The message table's ends, a number on each side of it, end of file.
    {"first message", {"fatal:100:x"}, "", outside_any_statement("x: error in format"), -1, SIGABRT},
    {"last message", {"fatal:132:x"}, "", outside_any_statement("x: Temporary file name (TMPDIR?) too long"), -1, SIGABRT},
    {"past the table", {"fatal:133:x"}, "", outside_any_statement("x: illegal error number 133"), -1, SIGABRT},
    {"before the table", {"fatal:-2:x"}, "", outside_any_statement("x: illegal error number -2"), -1, SIGABRT},
    {"unit not connected twice", {"fatal:109:x"}, "", outside_any_statement("x: unit not connected"), -1, SIGABRT},
    {"end of file", {"fatal:-1:x"}, "", outside_any_statement("x: end of file"), -1, SIGABRT},
    {"system error text", {"fatal:28:write"}, "",
     "write: No space left on device\napparent state: internal I/O\nlately writing direct unformatted internal IO\n", -1, SIGABRT},
    {"statement inside a statement", {"nested"}, "",
     "I/O recursion: I/O started while already doing I/O\napparent state: unit 6 (unnamed)\n"
     "last format: list io\nlately writing direct formatted external IO\n", -1, SIGABRT},
    {"report inside a report", {"again:107:open"}, "",
     "open: null file name\n(zarvel f__fatal already called, aborting.)IOT Trap\n", -1, SIGABRT},
    {"interrupt", {"say:before", "raise:2"}, "", "Interrupt\n", 1, 0},
    {"termination", {"raise:15"}, "", "Killed\n", 1, 0},
    {"abort signal", {"raise:6"}, "", "IOT Trap\n", -1, SIGABRT},
    {"floating-point exception signal", {"raise:8"}, "", "Floating Exception\n", -1, SIGABRT},
};

class Report : public testing::TestWithParam<report_case> {};

TEST_P(Report, StandardErrorAndEnd) {
  const report_case& c = GetParam();
  temp_dir dir;
  std::vector<std::string> argv = {driver};
  argv.insert(argv.end(), c.steps.begin(), c.steps.end());
  outcome r = testsupport::run(argv, c.input, {.cwd = dir.path()});
  EXPECT_EQ(r.err, c.err);
  if (c.status >= 0) {
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, c.status);
  } else {
    EXPECT_EQ(r.signal, c.signal);
  }
}

INSTANTIATE_TEST_SUITE_P(Driver, Report, testing::ValuesIn(report_cases),
                         [](const testing::TestParamInfo<report_case>& i) {
                           std::string n = i.param.title;
                           for (char& ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

TEST(FixedWidthRead, NamesAsTyped) {
  struct {
    std::string input;
    std::string name;  // the first 20 characters as stored
  } cases[] = {
      {"quake.dat\n", "quake.dat"},
      {"quake.dat\r\n", "quake.dat"},
      {"abcdefghijklmnopqrstuvwxy\n", "abcdefghijklmnopqrst"},
      {"  a\t'b',c\xe9\n", "  a\t'b',c\xe9"},
      {"abcdefghijklmnopqrst", "abcdefghijklmnopqrst"},
      {"a\rb\n", "a\rb"},
      {"\n", ""},
  };
  for (const auto& c : cases) {
    temp_dir dir;
    outcome r = testsupport::run({driver, "name", "echo"}, c.input, {.cwd = dir.path()});
    EXPECT_EQ(r.status, 0) << c.input;
    std::string var = c.name + std::string(30 - c.name.size(), ' ');
    EXPECT_EQ(r.out, " [" + var + "]\n") << c.input;
  }
}

TEST(FixedWidthRead, TheRestOfTheLineIsSkipped) {
  temp_dir dir;
  outcome r = testsupport::run({driver, "name", "name", "echo"},
                               "abcdefghijklmnopqrstuvwxy\nsecond\n", {.cwd = dir.path()});
  EXPECT_EQ(r.out, " [second                        ]\n");
}

TEST(FixedWidthRead, CtrlZEndsTheConsoleInput) {
  temp_dir dir;
  outcome r = testsupport::run({driver, "name", "echo", "name"}, "first\n\x1a\nsecond\n",
                               {.cwd = dir.path()});
  EXPECT_EQ(r.out, " [first                         ]\n");
  EXPECT_EQ(r.signal, SIGABRT);
  EXPECT_EQ(r.err.substr(0, 17), "fmt: end of file\n");
}

TEST(Report, ConsoleOutputBufferedInAFileComesOutBeforeTheAbort) {
  temp_dir dir;
  outcome r = testsupport::run({driver, "say:first", "say:second", "name"}, "",
                               {.cwd = dir.path(), .stdout_to_file = true});
  EXPECT_EQ(r.signal, SIGABRT);
  EXPECT_EQ(r.out, " first\n second\n");
}

TEST(Report, AnInterruptIgnoredAtStartStaysIgnored) {
  temp_dir dir;
  // The shell's trap leaves SIGINT ignored in the driver it starts.
  outcome r = testsupport::run({"/bin/sh", "-c", "trap '' INT; exec " + driver + " raise:2 say:after"},
                               "", {.cwd = dir.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, " after\n");
  EXPECT_EQ(r.err, "");
}

TEST(Report, AnInterruptWhileTheHandlersAreInstalledIsNotLost) {
  // Held off and pending while f_setsig runs, as if it came in the middle:
  // it must reach the new handler once let through.
  outcome r = testsupport::in_child([] {
    sigset_t intr;
    sigemptyset(&intr);
    sigaddset(&intr, SIGINT);
    sigprocmask(SIG_BLOCK, &intr, nullptr);
    raise(SIGINT);
    f_setsig();
    sigprocmask(SIG_UNBLOCK, &intr, nullptr);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Interrupt\n");
}

TEST(Connection, ALongerOldFileIsCutAfterTheLastRecord) {
  temp_dir dir;
  testsupport::write_file(dir / "t.csv", std::string(100000, 'x'));
  outcome r = testsupport::run({driver, "open:t.csv", "line:head", "rows:2", "close"}, "",
                               {.cwd = dir.path()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testsupport::read_file(dir / "t.csv"),
            " head\n"
            "  1.0000,    1.00,    1.00,    1.00,    1.00,    1.00,    1.00,    1.00,    1.00,    1.00\n"
            "  2.0000,    2.00,    2.00,    2.00,    2.00,    2.00,    2.00,    2.00,    2.00,    2.00\n");
}

TEST(Connection, AMissingNameCreatesAnEmptyFileThatStays) {
  temp_dir dir;
  outcome r = testsupport::run({driver, "open:new.dat", "close"}, "", {.cwd = dir.path()});
  ASSERT_EQ(r.status, 0);
  ASSERT_TRUE(std::filesystem::exists(dir / "new.dat"));
  EXPECT_EQ(std::filesystem::file_size(dir / "new.dat"), 0u);
}

TEST(Connection, AFileThatMayOnlyBeWrittenIsNeverEmptied) {
  temp_dir dir;
  testsupport::write_file(dir / "w.dat", "keep me\n");
  chmod((dir / "w.dat").c_str(), 0200);
  outcome r = testsupport::run({driver, "open:w.dat"}, "", {.cwd = dir.path(), .drop_privileges = true});
  if (r.status == 125) GTEST_SKIP() << "could not drop privileges to uid 65534";
  if (getuid() != 0) GTEST_SKIP() << "needs root to run the case as another user";
  EXPECT_EQ(r.signal, SIGABRT);
  EXPECT_EQ(r.err,
            "open: Permission denied\napparent state: unit 11 named w.dat\n"
            "lately writing direct unformatted external IO\n");
  chmod((dir / "w.dat").c_str(), 0600);
  EXPECT_EQ(testsupport::read_file(dir / "w.dat"), "keep me\n");
}

TEST(Connection, ACharacterDeviceIsNotCut) {
  temp_dir dir;
  outcome r = testsupport::run({driver, "open:/dev/null", "line:x", "close"}, "", {.cwd = dir.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

// In-process: the parts that need no process of their own.

TEST(NameFormation, OnlyTrailingSpacesGo) {
  struct {
    const char* var;
    const char* name;
  } cases[] = {
      {"quake.dat                     ", "quake.dat"},
      {"  quake.dat                   ", "  quake.dat"},
      {"quake.dat\t                    ", "quake.dat\t"},
      {"a b                           ", "a b"},
      {"                              ", ""},
  };
  for (const auto& c : cases) {
    char out[31];
    g_char(c.var, 30, out);
    EXPECT_STREQ(out, c.name) << "[" << c.var << "]";
  }
}

}  // namespace
