#pragma once
// The format reader and the format processor shared by the fixed-width read
// and the table-row write. The text is parsed into a list of steps at the
// start of every formatted statement; the processor walks it as values are
// handed over and calls the renderers the statement installed.

// Step operation codes.
enum : int {
  OP_RET = 1,    // open the outer level
  OP_STACK,      // repeat count p1 for the field or group that follows
  OP_GROUP,      // open a group; later repetitions come back after it
  OP_CLOSE,      // close a group
  OP_END,        // end of format; p1 is the reversion point
  OP_F,          // fixed-point field: width p1, decimals p2
  OP_A,          // text field: width p1 (0: the item's length)
  OP_APOS        // literal: p1 is the offset of its opening delimiter
};

constexpr int kMaxSteps = 300;

struct syl {
  int op;
  int p1, p2, p3;
};

extern syl f__syl[kMaxSteps];
extern int f__nsyl;        // steps of the parsed format
extern const char* f__fmttext;  // the format being processed

// Parse a format text into f__syl. Returns 0, or -1 when the text does not
// parse (the caller reports error 100). A literal without its closing
// delimiter is fatal error 100, context "bad string"; more than 300 steps
// ends the process with "format too complicated:".
int pars_f(const char* s);

// Reset the processing position and the counters for a new statement.
void fmt_bg();

// Renderers installed by the statement's start.
extern int (*f__doed)(const syl* p, char* ptr, int len);  // a field and its value
extern int (*f__doned)(const syl* p);                     // a literal
extern int (*f__dorevert)();   // a new record at the reversion point

// The three of a kind of formatted statement, installed together.
struct format_renderers {
  int (*doed)(const syl* p, char* ptr, int len);
  int (*doned)(const syl* p);
  int (*dorevert)();
};
void fmt_install(const format_renderers& r);

// Walk the format to the next field that needs a value, or to its end, with
// no value to hand over; returns 0. The caller then ends its record.
int en_fio();
