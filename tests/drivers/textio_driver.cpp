// Plays a scripted sequence of text-layer statements, one per argument, so
// that the process-level behaviour (reports, ends, signals, files) can be
// tested without the whole run.
//   open:NAME   connect unit 11 (NAME padded to 30 characters)
//   close       close unit 11
//   name        fixed-width (A20) read from the console
//   echo        the last name read, bracketed, on unit 6
//   line:TEXT   list output record of TEXT on unit 11
//   say:TEXT    list output record of TEXT on unit 6
//   row:V       table row with ten copies of V on unit 11
//   rows:N      N table rows on unit 11
//   stop:CODE   stop with that code
//   fatal:N:CTX the fatal report for error N with context CTX
//   again:N:CTX the fatal report with its guard already set
//   kind:K      a list output item of kind code K on unit 6
//   nested      a connection while a statement is in progress
//   raise:SIG   send the process signal SIG (a number)
//   churn:NAME  for ever: connect unit 11 to NAME, read four header texts,
//               close (allocation and freeing, for the interrupt tests)
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "diag/diag.h"
#include "textio/rowformat.h"
#include "textio/internal.h"

namespace {

const cilist con_out = {6, false, nullptr};
const cilist name_in = {5, false, "(A20)"};
const cilist file_out = {11, false, nullptr};
const cilist row_out = {11, false, kRowFormat};

char last_name[30] = "(none)";

void text_line(const cilist& to, const std::string& text) {
  s_wsle(&to);
  lio_text(text.data(), static_cast<int>(text.size()));
  e_wsle();
}

void row(float v) {
  s_wsfe(&row_out);
  for (int k = 0; k < 10; ++k) fio_real(v);
  e_wsfe();
}

void step(const std::string& cmd) {
  std::string arg = cmd.substr(cmd.find(':') == std::string::npos ? cmd.size() : cmd.find(':') + 1);
  if (cmd.rfind("open:", 0) == 0) {
    char name[30];
    memset(name, ' ', 30);
    memcpy(name, arg.data(), std::min<size_t>(arg.size(), 30));
    f_open(11, name, 30);
  } else if (cmd == "close") {
    f_clos(11);
  } else if (cmd == "name") {
    s_rsfe(&name_in);
    do_fio(1, last_name, 30);
    e_rsfe();
  } else if (cmd == "echo") {
    text_line(con_out, std::string("[") + std::string(last_name, 30) + "]");
  } else if (cmd.rfind("line:", 0) == 0) {
    text_line(file_out, arg);
  } else if (cmd.rfind("say:", 0) == 0) {
    text_line(con_out, arg);
  } else if (cmd.rfind("row:", 0) == 0) {
    row(std::stof(arg));
  } else if (cmd.rfind("rows:", 0) == 0) {
    for (int j = 1; j <= std::stoi(arg); ++j) row(static_cast<float>(j));
  } else if (cmd.rfind("stop:", 0) == 0) {
    s_stop(arg.data(), static_cast<int>(arg.size()));
  } else if (cmd.rfind("fatal:", 0) == 0 || cmd.rfind("again:", 0) == 0) {
    size_t colon = arg.find(':');
    if (cmd[0] == 'a') f__fatal_called = true;
    f__fatal(std::stoi(arg.substr(0, colon)), strdup(arg.substr(colon + 1).c_str()));
  } else if (cmd.rfind("kind:", 0) == 0) {
    int value = 7;
    s_wsle(&con_out);
    do_lio(std::stoi(arg), 1, reinterpret_cast<char*>(&value), 4);
    e_wsle();
  } else if (cmd == "nested") {
    s_wsle(&con_out);
    f_open(11, "nested.txt                    ", 30);
  } else if (cmd.rfind("churn:", 0) == 0) {
    char name[30];
    memset(name, ' ', 30);
    memcpy(name, arg.data(), std::min<size_t>(arg.size(), 30));
    const cilist head_in = {11, false, nullptr};
    char head[4][20];
    for (;;) {
      f_open(11, name, 30);
      s_rsle(&head_in);
      for (auto& h : head) do_lio(TYCHAR, 1, h, 20);
      e_rsle();
      f_clos(11);
    }
  } else if (cmd.rfind("raise:", 0) == 0) {
    raise(std::stoi(arg));
  } else {
    fprintf(stderr, "textio_driver: unknown step %s\n", cmd.c_str());
    exit(2);
  }
}

}  // namespace

int main(int argc, char** argv) {
  f__startup();
  f_setsig();
  f_init();
  atexit(f_exit);
  for (int k = 1; k < argc; ++k) step(argv[k]);
  s_stop("", 0);
}
