// Interrupts landing while the text layer allocates and frees without
// pause (a unit connected, four header texts read, closed, for ever): every
// try ends with "Interrupt" and status 1 within seconds, never a hang in
// the allocator's lock. Meant for the sanitizer build above all, whose
// allocator showed it.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "support/process.h"

namespace {

TEST(AllocationInterrupt, NeverHangs) {
  testsupport::temp_dir dir;
  testsupport::write_file(dir / "h.dat", "'a long header text, delimited' NS UD 3*gal\n");
  testsupport::write_file(dir / "in", "");
  const std::string in = (dir / "in").string(), out = (dir / "out").string(), err = (dir / "err").string();
  const int tries = std::getenv("RSPEC_INTERRUPT_TRIES") ? std::atoi(std::getenv("RSPEC_INTERRUPT_TRIES")) : 200;
  std::mt19937 gen(777);
  std::uniform_int_distribution<long> when(2000, 40000);
  int interrupted = 0;
  for (int k = 0; k < tries; ++k) {
    std::filesystem::remove(dir / "err");
    pid_t pid = testsupport::spawn({RSPEC_DRIVER, "churn:h.dat"}, dir.path(), in, out, err);
    std::this_thread::sleep_for(std::chrono::microseconds(when(gen)));
    kill(pid, SIGINT);
    int ws = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (waitpid(pid, &ws, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &ws, 0);
        FAIL() << "try " << k << ": no end 20 s after the interrupt (a hang)";
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::string e = testsupport::read_file(err);
    if (WIFSIGNALED(ws) && WTERMSIG(ws) == SIGINT && e.empty()) continue;  // before the handlers
    ASSERT_TRUE(WIFEXITED(ws)) << "try " << k << ": " << e;
    EXPECT_EQ(WEXITSTATUS(ws), 1) << "try " << k;
    EXPECT_EQ(e, "Interrupt\n") << "try " << k;
    ++interrupted;
  }
  std::printf("%d of %d tries ended through the interrupt handler\n", interrupted, tries);
}

}  // namespace
