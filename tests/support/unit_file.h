// A unit connected to a new, empty temporary file, for tests that check the
// exact bytes that statements on it bring to the stream.
#pragma once

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "textio/internal.h"

namespace testsupport {

class UnitFileTest : public ::testing::Test {
 public:
  static constexpr int kUnit = 20;

 protected:
  void SetUp() override { fresh(); }
  void TearDown() override {
    std::fclose(f__units[kUnit].ufd);
    f__units[kUnit] = unit{};
  }

  // Connect the unit to a new, empty temporary file, last used for writing.
  static void fresh() {
    unit& u = f__units[kUnit];
    if (u.ufd != nullptr) std::fclose(u.ufd);
    u = unit{};
    u.ufd = std::tmpfile();
    ASSERT_NE(u.ufd, nullptr);
    u.ufmt = true;
    u.uacc = ACC_BOTH;
    u.uwrt = true;
  }

  // Every byte that has reached the stream so far.
  static std::string written() {
    FILE* f = f__units[kUnit].ufd;
    std::fflush(f);
    std::rewind(f);
    std::string out;
    for (int c; (c = std::getc(f)) != EOF;) out += static_cast<char>(c);
    return out;
  }
};

}  // namespace testsupport
