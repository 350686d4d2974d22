#pragma once
// The text record layer's inside, for its own files and its tests (the run
// needs only textio/textio.h): the process-wide state the statements share,
// defined together in state.cpp (the unit table, the statement in progress,
// the record buffer, the last format text and the mode flags that the fatal
// report reads), and the routines the statements are built of.
#include <signal.h>

#include <cstdio>

#include "textio/textio.h"

constexpr int MXUNIT = 100;

// Access mode of a connected unit, as its stream was opened.
enum : int { ACC_NONE = 0, ACC_READ = 1, ACC_WRITE = 2, ACC_BOTH = 3 };

// No character held in a one-character slot of the text-mode source.
constexpr int NO_CHAR = -2;

struct unit {
  FILE* ufd;      // the open stream; null when not connected
  char* ufnm;     // name the unit was connected with; null for console units
  bool ufmt;      // carries text records (always, in this program)
  int uacc;       // ACC_READ, ACC_WRITE or ACC_BOTH; ACC_NONE on the console
  bool uwrt;      // the last transfer on the unit was a write
  bool uend;      // the stream has reported end of input
  bool useek;     // the stream is not a terminal or other character device
  // Text-mode source (emulated: POSIX stdio does not translate).
  int upush;      // one character pushed back by a reader, already translated
  int ula;        // raw byte read after a CR that did not precede an LF
  bool uctrlz;    // a Ctrl-Z byte ended the input
  bool ucut;      // a record was written since the connection (and an
                  // older file cut after it)
};

// The statement-in-progress mark.
enum class io_mark { uninit, idle, busy };

extern unit f__units[MXUNIT];

// The stream buffer of each unit's file, static so that the streams never
// allocate one of their own while the program runs.
constexpr size_t kUnitBuffer = BUFSIZ;
char* unit_buffer(unit* u);
extern unit* f__curunit;        // null until the first statement/connection
extern io_mark f__init;
extern const cilist* f__elist;  // control block of the running statement

// Mode flags read by the "lately" line of the fatal report.
extern bool f__reading, f__sequential, f__formatted, f__external;

// Last format text and its length; null when there is none.
extern const char* f__fmtbuf;
extern int f__fmtlen;

// Record buffer: f__buf holds f__recpos characters of the record being built,
// in the fixed area until a record needs more, then in a heap area.
constexpr int kFixedBuffer = 400;
extern char f__fixed_buf[kFixedBuffer];
extern char* f__buf;
extern int f__buflen;
extern int f__recpos;
// Line length limit of list output, set by every list statement's start.
extern int L_len;

// Guard of the closing pass run at exit.
extern bool f__exit_done;

// Everything above as the process starts it, then f_init: the console units
// connected, the mark idle. Named files still connected are closed, console
// streams are left as they are; the report's guard is cleared too. For the
// tests, which run many statements in one process.
void f__reset();

// f_init (textio.h) also gives the fatal report its hooks into the units,
// and is fatal (131) when a statement is in progress.

// The fatal report's lines about the units, the last format and the mode
// flags (when the layer was initialised); the statement mark is left idle.
void f__report_units();

// What a kind of statement checks and reports as it starts.
struct statement_kind {
  bool read;                     // reads (else writes) its unit
  bool formatted;                // has a format text (else "list io")
  bool sequential;               // sets the "sequential" mode flag
  bool current_after_checks;     // the unit becomes current only once it has
                                 // passed its checks (else at once)
  const char* bad_number;        // context of a unit number outside 0..99
  int unconnected;               // error and context of an unconnected unit
  const char* unconnected_ctx;
  int unformatted;               // error and context of an unformatted unit
  const char* unformatted_ctx;
  const char* switch_ctx;        // context of a failed switch of direction
};

// The four kinds: free-form read, list output, fixed-width read, formatted
// (row) output.
extern const statement_kind k_rsle, k_wsle, k_rsfe, k_wsfe;

// The start every statement shares, in this order: initialise if not idle
// and mark the statement in progress (a list statement names its format
// "list io" at once); check the unit (its number, its connection, its
// form); make it current and set the mode flags; a formatted statement
// makes its format the last one and parses it; switch the unit to the
// statement's direction; a read at end of file ends there ("read start").
// Returns 0, or -1 at a detected end of file.
int f__stmt_start(const cilist* a, const statement_kind& k);

// End of file met by the running statement, context ctx: with end-of-file
// detection the statement ends (mark idle) and -1 comes back; without it the
// process ends through the fatal report.
int f__eof(const char* ctx);

// Switch a unit to reading / writing; 0 on success, else ERR_CANT_READ /
// ERR_CANT_WRITE.
int f__nowreading(unit* u);
int f__nowwriting(unit* u);

// Text-mode character source over a unit's stream: a CR directly before an
// LF is dropped, a Ctrl-Z byte ends the input. Returns a byte or EOF; a read
// error also returns EOF (ferror on the stream tells the two apart).
int tm_getc(unit* u);
// One character of unit u for a read statement: EOF while the unit's
// end-of-file flag is set; end of input without a stream error (or a
// Ctrl-Z) sets the flag, a read error returns EOF and leaves it clear.
int unit_getc(unit* u);
// Push one translated character back (EOF is not pushed).
void tm_ungetc(unit* u, int c);
// Forget anything held back (at a connection).
void tm_reset(unit* u);

// The state of a new connection: the stream f (null while the connection
// is being made), formatted sequential text, not at end of input, nothing
// held back, with the given access and last-transfer direction. The name
// and seekability stay the caller's to set.
void unit_connect(unit* u, FILE* f, int acc, bool last_write);

// Holds off SIGINT and SIGTERM while it lives. Their handlers close every
// unit and free; landing inside a write or a close of a file they would
// write out a part of a row or close a stream twice, and landing inside the
// allocator they would wait for its lock for ever.
class hold_signals {
 public:
  hold_signals();
  ~hold_signals();
  hold_signals(const hold_signals&) = delete;
  hold_signals& operator=(const hold_signals&) = delete;

 private:
  sigset_t saved_;  // the caller's signal mask
};

// Write n bytes of a record to unit u's stream. A named file (the table)
// gets the record in one write of its own, and a failure ends the run
// through the report; the console is not checked.
void f__write(unit* u, const char* s, size_t n);
// A named file's bytes that did not reach it (a record from position pos,
// or the close): a part of a record that did is taken back, so that the
// file keeps whole records only, and the run ends through the report,
// context "write".
[[noreturn]] void f__write_failed(unit* u, int err, long pos = -1);

// Allocation after start-up, with SIGINT and SIGTERM held off. f__alloc and
// f__realloc return null when memory runs out.
void* f__alloc(size_t n);
void* f__realloc(void* p, size_t n);
void f__free(void* p);

// Open (or reopen, when f is not null) the named file of unit u with its
// stream buffer, with SIGINT and SIGTERM held off; null when it fails.
FILE* f__fopen(unit* u, const char* mode, FILE* f = nullptr);
// The same on a descriptor already open (closed when that fails).
FILE* f__fdopen(unit* u, int fd, const char* mode);

// Item procedure of the list statement in progress (l_read or l_write);
// do_lio forwards to it.
extern int (*f__lioproc)(int number, char* ptr, int len, int type);

// Cut the unit's file at its current position; 0 or ERR_TRUNCATE.
int t_runc(unit* u);
// The name held in a text variable: its trailing spaces removed.
// Writes at most len bytes plus a NUL into out.
void g_char(const char* a, int len, char* out);
