#pragma once
// Start-up, the normal and the abnormal end, the fatal error report and the
// signal handlers: the bottom of the program's calls. The text layer, above
// it, hands it what it needs of the units through two hooks that its
// initialisation sets.

// Messages of the error numbers 100 to 132.
extern const char* const F_err[];
constexpr int MAXERR = 133;  // one past the last numbered message

// The error numbers the program reports, named for their messages. -1 is
// end of file, 0 to 99 a system error number.
enum : int {
  ERR_EOF = -1,
  ERR_FORMAT = 100,            // error in format
  ERR_UNIT_NUMBER = 101,       // illegal unit number
  ERR_FORMATTED_IO = 102,      // formatted io not allowed
  ERR_UNFORMATTED_IO = 103,    // unformatted io not allowed
  ERR_NULL_NAME = 107,         // null file name
  ERR_TRUNCATE = 111,          // truncation failed in endfile
  ERR_LIST_INPUT = 112,        // incomprehensible list input
  ERR_NO_SPACE = 113,          // out of free space
  ERR_NOT_CONNECTED = 114,     // unit not connected
  ERR_CANT_READ = 126,         // can't read file
  ERR_CANT_WRITE = 127,        // can't write file
  ERR_RECURSION = 131,         // I/O started while already doing I/O
  ERR_UNKNOWN_TYPE = 204,      // outside the table: an illegal error number
};

// The fatal error report: its lines on standard error, every unit closed,
// then abort. n is -1 (end of file), 0..99 (a system error number), 100..132
// (the message table) or anything else (an illegal number).
[[noreturn]] void f__fatal(int n, const char* s);

// The same report with a first line of the program's own: "s: msg".
[[noreturn]] void f__fatal_text(const char* s, const char* msg);

// The abnormal end: the message and a newline on standard error; with kill
// set the units are closed and the process aborts, otherwise it exits with
// status 1.
[[noreturn]] void sig_die(const char* s, int kill);

// The normal end: "STOP code statement executed" when the code is not
// empty, then exit status 0.
[[noreturn]] void s_stop(const char* s, int n);

// First of all at start-up: descriptors 0, 1 and 2 open (on /dev/null when
// they were closed), the console streams' buffers, SIGPIPE ignored.
void f__startup();

// Install the handlers for SIGFPE, SIGABRT, SIGINT and SIGTERM.
void f_setsig();

// When set, the fatal report calls this first. An in-process harness (the
// reader's fuzz target) uses it to observe a report without ending the
// process: the hook must not return (it throws or jumps away).
extern void (*f__fatal_hook)(int n, const char* s);

// Set by the text layer's initialisation: the report's lines about the
// units and statements after its first line (the report itself writes the
// first line and ends the process), and the closing of every unit that the
// abnormal end runs before its abort.
extern void (*f__report_io)();
extern void (*f__close_io)();

// Guard of the fatal report: set by the first report.
extern bool f__fatal_called;

