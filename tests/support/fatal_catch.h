#pragma once
// Catching a fatal report inside the test's own process: while a
// catching_reports lives, the report's hook throws what the report was
// given, before the report writes a line or ends anything.
#include <string>

#include "diag/diag.h"

namespace testsupport {

struct fatal_report {
  int n;            // the error number
  std::string ctx;  // the context word
};

[[noreturn]] inline void throw_report(int n, const char* s) { throw fatal_report{n, s}; }

class catching_reports {
 public:
  catching_reports() { f__fatal_hook = throw_report; }
  ~catching_reports() { f__fatal_hook = nullptr; }
  catching_reports(const catching_reports&) = delete;
  catching_reports& operator=(const catching_reports&) = delete;
};

}  // namespace testsupport
