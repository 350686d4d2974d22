#pragma once
// Running a program of the project as a real process in a folder of its
// own, feeding its standard input and collecting what it leaves behind.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

struct outcome {
  std::string out;   // standard output
  std::string err;   // standard error
  int status = -1;   // exit status, or -1 when killed
  int signal = 0;    // the signal that ended it, or 0
};

// A fresh temporary folder, removed when the object goes.
class temp_dir {
 public:
  temp_dir() {
    char tmpl[] = "/tmp/rspec-test-XXXXXX";
    path_ = mkdtemp(tmpl);
    std::filesystem::permissions(path_, std::filesystem::perms::all);
  }
  ~temp_dir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline std::string read_file(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// The lines of a text, without their LFs; a last line with no LF ends in
// "<no line end>", so that it never equals a whole line.
inline std::vector<std::string> lines_of(const std::string& s) {
  std::vector<std::string> r;
  size_t at = 0;
  while (at < s.size()) {
    size_t nl = s.find('\n', at);
    if (nl == std::string::npos) {
      r.push_back(s.substr(at) + "<no line end>");
      break;
    }
    r.push_back(s.substr(at, nl - at));
    at = nl + 1;
  }
  return r;
}

inline void write_file(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f << bytes;
}

struct run_options {
  std::string cwd;
  bool has_stdin = true;       // false: standard input closed at once (empty)
  bool drop_privileges = false;  // run as uid/gid 65534 (CI runs as root)
  bool stdout_to_file = false;   // standard output a regular file, not a pipe
  int timeout_seconds = 60;
  std::string preload{};         // a shared library for LD_PRELOAD, or empty
  std::vector<std::pair<std::string, std::string>> env{};  // more environment
  std::vector<int> closed{};     // descriptors (0, 1, 2) closed at the start
  bool console_gone = false;     // standard output a pipe without a reader
  long file_size_limit = -1;     // RLIMIT_FSIZE in bytes, SIGXFSZ ignored
  long memory_limit = -1;        // RLIMIT_AS in bytes
};

// A copy of a program that uid 65534 may execute: the tree it was built in
// may sit in a folder that only its owner may enter (a home folder of mode
// 700, a mktemp -d folder). Removed with the object.
class runnable_copy {
 public:
  explicit runnable_copy(const std::string& program) {
    char tmpl[] = "/tmp/rspec-prog-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return;
    dir_ = tmpl;
    chmod(dir_.c_str(), 0755);
    path_ = dir_ + "/" + std::filesystem::path(program).filename().string();
    std::error_code ec;
    std::filesystem::copy_file(program, path_, ec);
    chmod(path_.c_str(), 0755);
  }
  ~runnable_copy() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string dir_, path_;
};

// Run argv with the given standard input. Core dumps are disabled in the
// child, so an abort leaves nothing behind. A run with lowered privileges
// runs a copy of the program that the lowered user may execute.
inline outcome run(std::vector<std::string> argv, const std::string& input,
                   const run_options& o = {}) {
  std::unique_ptr<runnable_copy> copy;
  if (o.drop_privileges && getuid() == 0) {
    copy = std::make_unique<runnable_copy>(argv[0]);
    argv[0] = copy->path();
  }
  int in[2], out[2], err[2];
  if (pipe(in) || pipe(out) || pipe(err)) std::abort();
  std::string out_file;
  if (o.stdout_to_file) out_file = (o.cwd.empty() ? std::string("/tmp") : o.cwd) + "/.stdout";
  pid_t pid = fork();
  if (pid == 0) {
    struct rlimit no_core = {0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    dup2(in[0], 0);
    if (o.stdout_to_file) {
      int fd = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      dup2(fd, 1);
      close(fd);
    } else {
      dup2(out[1], 1);
    }
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    if (o.console_gone) {
      int gone[2];
      if (pipe(gone) != 0) _exit(126);
      close(gone[0]);
      dup2(gone[1], 1);
      close(gone[1]);
    }
    if (!o.cwd.empty() && chdir(o.cwd.c_str()) != 0) _exit(126);
    signal(SIGINT, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    if (o.file_size_limit >= 0) {
      struct rlimit l = {static_cast<rlim_t>(o.file_size_limit), static_cast<rlim_t>(o.file_size_limit)};
      setrlimit(RLIMIT_FSIZE, &l);
      signal(SIGXFSZ, SIG_IGN);
    }
    if (o.memory_limit >= 0) {
      struct rlimit l = {static_cast<rlim_t>(o.memory_limit), static_cast<rlim_t>(o.memory_limit)};
      setrlimit(RLIMIT_AS, &l);
    }
    if (!o.preload.empty()) {
      setenv("LD_PRELOAD", o.preload.c_str(), 1);
      // A sanitizer build wants its runtime first; the library comes first.
      setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
    }
    for (const auto& [name, value] : o.env) setenv(name.c_str(), value.c_str(), 1);
    for (int fd : o.closed) close(fd);
    if (o.drop_privileges && getuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
          setresuid(65534, 65534, 65534) != 0)
        _exit(125);
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);
  outcome r;
  size_t sent = 0;
  if (!o.has_stdin || input.empty()) {
    close(in[1]);
    in[1] = -1;
  }
  fcntl(out[0], F_SETFL, O_NONBLOCK);
  fcntl(err[0], F_SETFL, O_NONBLOCK);
  if (in[1] >= 0) fcntl(in[1], F_SETFL, O_NONBLOCK);
  int open_fds = 2;
  time_t deadline = time(nullptr) + o.timeout_seconds;
  while (open_fds > 0) {
    std::vector<pollfd> fds = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    if (in[1] >= 0) fds.push_back({in[1], POLLOUT, 0});
    poll(fds.data(), fds.size(), 1000);
    if (time(nullptr) > deadline) {
      kill(pid, SIGKILL);
      break;
    }
    char buf[65536];
    for (int k = 0; k < 2; ++k) {
      int fd = k == 0 ? out[0] : err[0];
      if (fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP))) continue;
      ssize_t n = read(fd, buf, sizeof buf);
      if (n > 0) {
        (k == 0 ? r.out : r.err).append(buf, n);
      } else if (n == 0 || errno != EAGAIN) {
        close(fd);
        (k == 0 ? out[0] : err[0]) = -1;
        --open_fds;
      }
    }
    if (in[1] >= 0 && fds.size() > 2 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t n = write(in[1], input.data() + sent, input.size() - sent);
      if (n > 0) sent += n;
      if (n < 0 && errno != EAGAIN) sent = input.size();
      if (sent == input.size()) {
        close(in[1]);
        in[1] = -1;
      }
    }
  }
  if (in[1] >= 0) close(in[1]);
  for (int fd : {out[0], err[0]})
    if (fd >= 0) close(fd);
  int ws = 0;
  waitpid(pid, &ws, 0);
  if (WIFEXITED(ws)) r.status = WEXITSTATUS(ws);
  if (WIFSIGNALED(ws)) r.signal = WTERMSIG(ws);
  if (o.stdout_to_file) {
    r.out = read_file(out_file);
    unlink(out_file.c_str());
  }
  return r;
}

// Run body in a forked child of this very process (no new program), its
// standard error collected and core dumps off; the child exits with status
// 0 when body returns. For the in-process layers' whole reports and ends.
template <typename F>
outcome in_child(F body) {
  int p[2];
  if (pipe(p) != 0) std::abort();
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    struct rlimit none = {0, 0};
    setrlimit(RLIMIT_CORE, &none);
    dup2(p[1], 2);
    close(p[0]);
    close(p[1]);
    body();
    _exit(0);
  }
  close(p[1]);
  outcome r;
  char buf[4096];
  for (ssize_t n; (n = read(p[0], buf, sizeof buf)) > 0;) r.err.append(buf, static_cast<size_t>(n));
  close(p[0]);
  int ws = 0;
  waitpid(pid, &ws, 0);
  if (WIFEXITED(ws)) r.status = WEXITSTATUS(ws);
  if (WIFSIGNALED(ws)) r.signal = WTERMSIG(ws);
  return r;
}

// A writer that feeds bytes into the named pipe at path (which it creates)
// and exits; its process id. Kill it if the reader never came.
inline pid_t feed_fifo(const std::filesystem::path& path, const std::string& bytes) {
  if (mkfifo(path.c_str(), 0666) != 0) std::abort();
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGPIPE, SIG_DFL);
    int fd = open(path.c_str(), O_WRONLY);
    for (size_t at = 0; fd >= 0 && at < bytes.size();) {
      ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
      if (n <= 0) _exit(1);
      at += static_cast<size_t>(n);
    }
    _exit(fd >= 0 ? 0 : 1);
  }
  return pid;
}

// A reader that copies what comes through the named pipe at path (which
// it creates) into the file into, and exits at the pipe's end; its
// process id. end_drain lets it go when no writer ever came.
inline pid_t drain_fifo(const std::filesystem::path& path, const std::filesystem::path& into) {
  if (mkfifo(path.c_str(), 0666) != 0) std::abort();
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(path.c_str(), O_RDONLY);
    int out = open(into.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    char buf[4096];
    for (ssize_t n; fd >= 0 && (n = read(fd, buf, sizeof buf)) > 0;)
      if (write(out, buf, static_cast<size_t>(n)) != n) _exit(1);
    _exit(fd >= 0 ? 0 : 1);
  }
  return pid;
}

// Wait for a drain_fifo reader; one still waiting for a writer gets an
// empty one.
inline void end_drain(const std::filesystem::path& path, pid_t pid) {
  int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
  if (fd >= 0) close(fd);
  waitpid(pid, nullptr, 0);
}

// Start argv in cwd with standard input, output and error on files, and
// return at once; core dumps disabled.
inline pid_t spawn(const std::vector<std::string>& argv, const std::string& cwd,
                   const std::string& in, const std::string& out, const std::string& err) {
  pid_t pid = fork();
  if (pid == 0) {
    struct rlimit no_core = {0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    int fi = open(in.c_str(), O_RDONLY);
    int fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    int fe = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    dup2(fi, 0);
    dup2(fo, 1);
    dup2(fe, 2);
    signal(SIGINT, SIG_DFL);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  return pid;
}

// Wait for pid; its exit status, or -1 with *sig set when a signal ended it.
inline int wait_for(pid_t pid, int* sig) {
  int ws = 0;
  waitpid(pid, &ws, 0);
  *sig = WIFSIGNALED(ws) ? WTERMSIG(ws) : 0;
  return WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
}

}  // namespace testsupport
