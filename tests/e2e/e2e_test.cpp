// Runs every case file of tests/e2e/cases against the real program in a
// temporary folder. A case file is a list of directives:
//
//   # comment
//   stdin <<END            the console input, the lines up to END
//   file NAME <<END        an input file with the lines up to END
//   file NAME from PATH    an input file copied (PATH from the source tree,
//                          or absolute; the case is skipped when it is absent)
//   file NAME rows N [DT] [T0]   a generated record of N rows
//   file NAME impulse N    N rows at 0.01 s, 1000 in the first sample of
//                          each component and 0 after it
//   append NAME <<END      more lines at the end of an input file
//   mode NAME OCTAL        permissions of an input file
//   user nobody            run as uid/gid 65534 (skipped when that fails)
//   file NAME longword N   a record whose first header word is N bytes long,
//                          then three more words and four rows
//   fifo NAME from PATH    a named pipe that a writer feeds with the file
//   drain NAME into FILE   a named pipe whose reader copies it into FILE
//   preload SHIM           run with tests/e2e/shims/SHIM.cpp in LD_PRELOAD
//   env NAME VALUE         an environment variable for the program
//   close FD               standard descriptor FD (0, 1, 2) closed at the start
//   console gone           standard output a pipe whose reader has exited
//   fsize BYTES            a file size limit (RLIMIT_FSIZE), SIGXFSZ ignored
//   memory BYTES           an address space limit (RLIMIT_AS)
//   status N | signal NAME the expected end
//   stdout <<END / stderr <<END   the whole expected output
//   expect NAME <<END      the whole expected content of a file afterwards
//   expect NAME from PATH  the same, the content being a file's
//   unchanged NAME         an input file is byte for byte as it was given
//   lines NAME L1,L2,.. <<END     expected lines L1, L2, .. of a file
//   count NAME N           the file has N lines
//   prefix NAME from PATH  the file is the first whole lines of that file
//   absent NAME            the file does not exist afterwards
//
// A body introduced with <<\END instead of <<END takes escapes: \r \t \n
// \0 \\ \xHH, and a line ending in \c gets no line end. Other bodies are
// taken as they stand, each line ended by LF.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <filesystem>
#include <fstream>
#include <map>

#include "support/process.h"

namespace fs = std::filesystem;
using testsupport::outcome;

namespace {

struct file_check {
  enum kind { whole, some_lines, line_count, absent, whole_lines_of } what;
  std::string name;
  std::string bytes;
  std::vector<int> line_numbers;
  int count = 0;
};

struct test_case {
  std::string name;
  std::string input;
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<std::pair<std::string, std::string>> copies;
  std::vector<std::pair<std::string, int>> modes;
  bool as_nobody = false;
  std::string preload;
  std::vector<std::pair<std::string, std::string>> env;
  std::vector<std::pair<std::string, std::string>> fifos;
  std::vector<std::pair<std::string, std::string>> drains;
  std::vector<std::pair<std::string, long>> longwords;
  std::vector<int> closed;
  bool console_gone = false;
  long fsize = -1, memory = -1;
  int status = 0;
  int signal = 0;
  bool check_out = false, check_err = false;
  std::string out, err;
  std::vector<file_check> checks;
};

// Test names in the listing show the case's name, not an object dump.
void PrintTo(const test_case& c, std::ostream* os) { *os << c.name; }

std::string unescape(const std::string& line, bool* no_newline) {
  std::string r;
  *no_newline = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\\' || i + 1 == line.size()) {
      r += line[i];
      continue;
    }
    char c = line[++i];
    switch (c) {
      case 'r': r += '\r'; break;
      case 't': r += '\t'; break;
      case 'n': r += '\n'; break;
      case '0': r += '\0'; break;
      case '\\': r += '\\'; break;
      case 'c': *no_newline = true; break;
      case 'x': r += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16)); i += 2; break;
      default: r += '\\'; r += c;
    }
  }
  return r;
}

// A generated record: four header words, then N rows of a decaying sine in
// three phases, with times i*dt from t0.
std::string generated_record(int rows, double dt, double t0) {
  std::string s = "time(s) EW(gal) NS(gal) UD(gal)\n";
  char buf[128];
  for (int i = 0; i < rows; ++i) {
    double t = i * dt;
    double a = 100 * std::sin(2 * M_PI * 1.3 * t) * std::exp(-0.3 * std::fmod(t, 30.0));
    snprintf(buf, sizeof buf, "%.3f %.4E %.4E %.4E\n", t0 + t, a, -0.7 * a, 0.3 * a);
    s += buf;
  }
  return s;
}

std::vector<test_case> load_cases() {
  std::vector<test_case> cases;
  std::vector<fs::path> paths;
  for (const auto& e : fs::directory_iterator(RSPEC_SOURCE_DIR "/tests/e2e/cases"))
    if (e.path().extension() == ".case") paths.push_back(e.path());
  std::sort(paths.begin(), paths.end());
  for (const auto& p : paths) {
    test_case c;
    c.name = p.stem().string();
    std::ifstream in(p);
    std::string line;
    auto body = [&](const std::string& directive) {
      size_t at = directive.find("<<");
      std::string end = directive.substr(at + 2);
      bool escapes = !end.empty() && end[0] == '\\';
      if (escapes) end = end.substr(1);
      std::string r, l;
      while (std::getline(in, l) && l != end) {
        bool no_newline = false;
        r += escapes ? unescape(l, &no_newline) : l;
        if (!no_newline) r += '\n';
      }
      return r;
    };
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream words(line);
      std::string verb, name;
      words >> verb >> name;
      if (verb == "stdin") {
        c.input = body(line);
      } else if (verb == "file") {
        std::string how;
        words >> how;
        if (how == "from") {
          std::string from;
          words >> from;
          c.copies.push_back({name, from[0] == '/' ? from : std::string(RSPEC_SOURCE_DIR) + "/" + from});
        } else if (how == "impulse") {
          int n;
          words >> n;
          std::string r = "t a b c\n0.00 1000 1000 1000\n";
          char buf[64];
          for (int i = 1; i < n; ++i) {
            snprintf(buf, sizeof buf, "%d.%02d 0 0 0\n", i / 100, i % 100);
            r += buf;
          }
          c.files.push_back({name, r});
        } else if (how == "longword") {
          long n;
          words >> n;
          c.longwords.push_back({name, n});
        } else if (how == "rows") {
          int n;
          double dt = 0.01, t0 = 0;
          words >> n;
          if (!(words >> dt)) dt = 0.01;
          if (!(words >> t0)) t0 = 0;
          c.files.push_back({name, generated_record(n, dt, t0)});
        } else {
          c.files.push_back({name, body(line)});
        }
      } else if (verb == "append") {
        std::string more = body(line);
        for (auto& f : c.files)
          if (f.first == name) f.second += more;
      } else if (verb == "mode") {
        std::string octal;
        words >> octal;
        c.modes.push_back({name, std::stoi(octal, nullptr, 8)});
      } else if (verb == "user") {
        c.as_nobody = true;
      } else if (verb == "fifo") {
        std::string how, from;
        words >> how >> from;
        c.fifos.push_back({name, from[0] == '/' ? from : std::string(RSPEC_SOURCE_DIR) + "/" + from});
      } else if (verb == "drain") {
        std::string into, file;
        words >> into >> file;
        c.drains.push_back({name, file});
      } else if (verb == "env") {
        std::string value;
        words >> value;
        c.env.push_back({name, value});
      } else if (verb == "close") {
        c.closed.push_back(std::stoi(name));
      } else if (verb == "console") {
        c.console_gone = name == "gone";
      } else if (verb == "fsize") {
        c.fsize = std::stol(name);
      } else if (verb == "memory") {
        c.memory = std::stol(name);
      } else if (verb == "unchanged") {
        std::string given;
        for (const auto& f : c.files)
          if (f.first == name) given = f.second;
        for (const auto& f : c.copies)
          if (f.first == name) given = testsupport::read_file(f.second);
        c.checks.push_back({file_check::whole, name, given, {}, 0});
      } else if (verb == "preload") {
        c.preload = std::string(RSPEC_SHIM_DIR) + "/lib" + name + ".so";
      } else if (verb == "status") {
        c.status = std::stoi(name);
      } else if (verb == "signal") {
        c.status = -1;
        c.signal = name == "SIGABRT" ? SIGABRT : name == "SIGKILL" ? SIGKILL : std::stoi(name);
      } else if (verb == "stdout") {
        c.check_out = true;
        c.out = body(line);
      } else if (verb == "stderr") {
        c.check_err = true;
        c.err = body(line);
      } else if (verb == "expect") {
        std::string how, from;
        words >> how >> from;
        std::string bytes = how == "from" ? testsupport::read_file(std::string(RSPEC_SOURCE_DIR) + "/" + from) : body(line);
        c.checks.push_back({file_check::whole, name, bytes, {}, 0});
      } else if (verb == "lines") {
        std::string list;
        words >> list;
        file_check k{file_check::some_lines, name, "", {}, 0};
        std::istringstream nums(list);
        for (std::string n; std::getline(nums, n, ',');) k.line_numbers.push_back(std::stoi(n));
        k.bytes = body(line);
        c.checks.push_back(k);
      } else if (verb == "prefix") {
        std::string how, from;
        words >> how >> from;
        c.checks.push_back({file_check::whole_lines_of, name,
                            testsupport::read_file(std::string(RSPEC_SOURCE_DIR) + "/" + from), {}, 0});
      } else if (verb == "count") {
        c.checks.push_back({file_check::line_count, name, "", {}, std::stoi(line.substr(line.rfind(' ') + 1))});
      } else if (verb == "absent") {
        c.checks.push_back({file_check::absent, name, "", {}, 0});
      } else {
        ADD_FAILURE() << p << ": unknown directive " << line;
      }
    }
    cases.push_back(c);
  }
  return cases;
}

std::vector<std::string> split_lines(const std::string& s) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < s.size()) {
    size_t nl = s.find('\n', at);
    if (nl == std::string::npos) nl = s.size();
    lines.push_back(s.substr(at, nl - at));
    at = nl + 1;
  }
  return lines;
}

class Case : public testing::TestWithParam<test_case> {};

TEST_P(Case, Runs) {
  const test_case& c = GetParam();
  testsupport::temp_dir dir;
  for (const auto& [name, bytes] : c.files) testsupport::write_file(dir / name, bytes);
  for (const auto& [name, from] : c.copies) {
    if (!fs::exists(from)) GTEST_SKIP() << "not here: " << from;
    fs::copy_file(from, dir / name);
  }
  for (const auto& [name, n] : c.longwords)
    testsupport::write_file(dir / name, std::string(n, 'x') + " NS UD gal\n" + generated_record(4, 0.01, 0).substr(32));
  for (const auto& [name, mode] : c.modes) chmod((dir / name).c_str(), mode);
  if (c.as_nobody && getuid() != 0) GTEST_SKIP() << "needs root to run the case as uid 65534";
  if (c.memory >= 0 && RSPEC_SANITIZED)
    GTEST_SKIP() << "the sanitizers' shadow memory does not fit an address-space limit";

  std::vector<pid_t> writers;
  for (const auto& [name, from] : c.fifos) {
    if (!fs::exists(from)) GTEST_SKIP() << "not here: " << from;
    writers.push_back(testsupport::feed_fifo(dir / name, testsupport::read_file(from)));
  }
  std::vector<pid_t> drainers;
  for (const auto& [name, into] : c.drains) drainers.push_back(testsupport::drain_fifo(dir / name, dir / into));

  outcome r = testsupport::run({RSPEC_PROGRAM}, c.input,
                               {.cwd = dir.path(),
                                .drop_privileges = c.as_nobody,
                                .timeout_seconds = 60,
                                .preload = c.preload,
                                .env = c.env,
                                .closed = c.closed,
                                .console_gone = c.console_gone,
                                .file_size_limit = c.fsize,
                                .memory_limit = c.memory});
  for (pid_t w : writers) {
    kill(w, SIGKILL);  // a writer whose reader never came
    int sig;
    testsupport::wait_for(w, &sig);
  }
  for (size_t i = 0; i < drainers.size(); ++i) testsupport::end_drain(dir / c.drains[i].first, drainers[i]);
  if (c.as_nobody && r.status == 125) GTEST_SKIP() << "could not drop privileges to uid 65534";

  if (c.status >= 0) {
    EXPECT_EQ(r.signal, 0) << r.err;
    EXPECT_EQ(r.status, c.status) << r.err;
  } else {
    EXPECT_EQ(r.signal, c.signal) << r.err;
  }
  if (c.check_out) {
    EXPECT_EQ(r.out, c.out);
  }
  if (c.check_err) {
    EXPECT_EQ(r.err, c.err);
  }
  for (const auto& k : c.checks) {
    fs::path p = dir / k.name;
    if (k.what == file_check::absent) {
      EXPECT_FALSE(fs::exists(p)) << k.name;
      continue;
    }
    ASSERT_TRUE(fs::exists(p)) << k.name;
    std::string bytes = testsupport::read_file(p);
    if (k.what == file_check::whole) {
      EXPECT_EQ(bytes, k.bytes) << k.name;
    } else if (k.what == file_check::whole_lines_of) {
      EXPECT_EQ(bytes, k.bytes.substr(0, bytes.size())) << k.name;
      EXPECT_TRUE(bytes.empty() || bytes.back() == '\n') << k.name << ": a part of a line at the end";
    } else if (k.what == file_check::line_count) {
      EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), k.count) << k.name;
    } else {
      std::vector<std::string> have = split_lines(bytes), want = split_lines(k.bytes);
      ASSERT_EQ(want.size(), k.line_numbers.size()) << k.name << ": lines listed and given differ";
      for (size_t i = 0; i < want.size(); ++i) {
        int n = k.line_numbers[i];
        ASSERT_LE(n, static_cast<int>(have.size())) << k.name;
        EXPECT_EQ(have[n - 1], want[i]) << k.name << " line " << n;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(E2E, Case, testing::ValuesIn(load_cases()),
                         [](const testing::TestParamInfo<test_case>& i) {
                           std::string n = i.param.name;
                           for (char& ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

}  // namespace
