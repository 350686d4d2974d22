// An interrupt or a termination request at a random moment of the sweep:
// status 1, the message line, and a table that holds the header and only
// whole rows, each the same as the same row of a complete run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "support/process.h"

namespace {

std::string capacity_record() {
  std::string s = "time(s) EW NS UD\n";
  std::mt19937 gen(7);
  std::normal_distribution<double> noise(0, 50);
  char buf[96];
  for (int i = 0; i < 33000; ++i) {
    snprintf(buf, sizeof buf, "%d.%02d %.4E %.4E %.4E\n", i / 100, i % 100, noise(gen), noise(gen),
             noise(gen));
    s += buf;
  }
  return s;
}

using testsupport::lines_of;

// A folder with the capacity record and the answers, and a complete run in
// it, timed: its table is the reference.
class Interrupt : public testing::Test {
 protected:
  void SetUp() override {
    testsupport::write_file(dir / "big.dat", capacity_record());
    testsupport::write_file(dir / "answers", "big.dat\n0.05\ntable.csv\n");
    auto t0 = std::chrono::steady_clock::now();
    int sig = 0;
    ASSERT_EQ(testsupport::wait_for(start(), &sig), 0);
    whole = std::chrono::steady_clock::now() - t0;
    table = testsupport::read_file(dir / "table.csv");
    ASSERT_EQ(std::count(table.begin(), table.end(), '\n'), 301);
  }
  pid_t start() { return testsupport::spawn({RSPEC_PROGRAM}, dir.path(), in, out, err); }

  testsupport::temp_dir dir;
  const std::string in = (dir / "answers").string(), out = (dir / "out").string(),
                    err = (dir / "err").string();
  std::chrono::steady_clock::duration whole;
  std::string table;
};

TEST_F(Interrupt, TheTableKeepsOnlyWholeRows) {
  const std::vector<std::string> reference = lines_of(table);
  int sig = 0, status = 0;
  const int tries = std::getenv("RSPEC_INTERRUPT_TRIES") ? std::atoi(std::getenv("RSPEC_INTERRUPT_TRIES")) : 20;
  std::mt19937 gen(12345);
  auto span = std::chrono::duration_cast<std::chrono::microseconds>(whole).count();
  std::uniform_int_distribution<long> when(0, span);
  int mid_sweep = 0;
  for (int k = 0; k < tries; ++k) {
    // A signal can land before the child has even redirected its output, so
    // nothing of the last try may be left to read.
    for (const char* f : {"table.csv", "out", "err"}) std::filesystem::remove(dir / f);
    int signo = k % 2 ? SIGTERM : SIGINT;
    pid_t pid = start();
    std::this_thread::sleep_for(std::chrono::microseconds(when(gen)));
    kill(pid, signo);
    status = testsupport::wait_for(pid, &sig);
    std::string e = testsupport::read_file(err);
    if (status == 0) continue;  // finished before the signal
    if (sig == signo && e.empty() && !std::filesystem::exists(dir / "table.csv"))
      continue;  // arrived before the handlers were installed
    ASSERT_EQ(sig, 0) << "try " << k << ": " << e;
    ASSERT_EQ(status, 1) << "try " << k;
    EXPECT_EQ(e, signo == SIGINT ? "Interrupt\n" : "Killed\n") << "try " << k;
    if (!std::filesystem::exists(dir / "table.csv")) continue;  // before the table
    std::vector<std::string> got = lines_of(testsupport::read_file(dir / "table.csv"));
    ASSERT_LE(got.size(), reference.size()) << "try " << k;
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], reference[i]) << "try " << k << " line " << i + 1;
    if (got.size() > 1 && got.size() < 301) ++mid_sweep;
  }
  RecordProperty("interrupted_mid_sweep", mid_sweep);
  std::printf("%d of %d tries landed inside the sweep\n", mid_sweep, tries);
}

// A hang-up (the terminal closed) or a kill at a random moment, with an
// older, longer table at the table's name: the table holds, at every
// moment, the header and whole rows only and nothing of the older file
// after them (or the older file untouched, when the run ended before its
// first record).
TEST_F(Interrupt, HangUpOrKillLeavesWholeRowsAndNoStaleByte) {
  const std::string& reference = table;
  int sig = 0;
  std::string old;
  for (int i = 0; i < 20000; ++i) old += "an older table's line, longer than the new table\n";

  const int tries = std::getenv("RSPEC_INTERRUPT_TRIES") ? std::atoi(std::getenv("RSPEC_INTERRUPT_TRIES")) : 50;
  std::mt19937 gen(4242);
  std::uniform_int_distribution<long> when(0, std::chrono::duration_cast<std::chrono::microseconds>(whole).count());
  int mid_sweep = 0;
  for (int k = 0; k < tries; ++k) {
    testsupport::write_file(dir / "table.csv", old);
    int signo = k % 2 ? SIGKILL : SIGHUP;
    pid_t pid = start();
    std::this_thread::sleep_for(std::chrono::microseconds(when(gen)));
    kill(pid, signo);
    int status = testsupport::wait_for(pid, &sig);
    const std::string got = testsupport::read_file(dir / "table.csv");
    if (status == 0) {
      ASSERT_TRUE(got == reference) << "try " << k << ": status 0 without the whole table";
      continue;
    }
    ASSERT_EQ(sig, signo) << "try " << k;
    if (got == old) continue;
    ASSERT_TRUE(got == reference.substr(0, got.size())) << "try " << k << ": a stale or wrong byte";
    ASSERT_TRUE(got.empty() || got.back() == '\n') << "try " << k << ": a part of a row at the end";
    if (got.size() > 74 && got.size() < reference.size()) ++mid_sweep;
  }
  std::printf("%d of %d tries landed inside the sweep\n", mid_sweep, tries);
}

// A named pipe as the record file with no writer yet: the open waits, and
// an interrupt still ends the wait ("Interrupt", status 1) instead of
// being held off for as long as the wait lasts.
TEST(InterruptWaiting, AnInterruptEndsTheWaitForAPipesWriter) {
  testsupport::temp_dir dir;
  ASSERT_EQ(mkfifo((dir / "rec.fifo").c_str(), 0666), 0);
  testsupport::write_file(dir / "answers", "rec.fifo\n0.05\nt.csv\n");
  pid_t pid = testsupport::spawn({RSPEC_PROGRAM}, dir.path(), (dir / "answers").string(),
                                 (dir / "out").string(), (dir / "err").string());
  // Into the open: the kernel shows the wait for the pipe's partner (or,
  // where it hides that, after a while).
  const std::string wchan = "/proc/" + std::to_string(pid) + "/wchan";
  for (int i = 0; i < 100 && testsupport::read_file(wchan) != "wait_for_partner"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kill(pid, SIGINT);
  int ws = 0;
  pid_t ended = 0;
  for (int i = 0; i < 100 && (ended = waitpid(pid, &ws, WNOHANG)) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (ended == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &ws, 0);
    FAIL() << "the interrupt did not end the wait";
  }
  ASSERT_TRUE(WIFEXITED(ws));
  EXPECT_EQ(WEXITSTATUS(ws), 1);
  EXPECT_EQ(testsupport::read_file(dir / "err"), "Interrupt\n");
}

}  // namespace
