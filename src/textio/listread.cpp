// Free-form reading: values separated by blanks, tabs, line ends or one
// comma, with null values, the slash, repeat counts r*value, and delimited or
// undelimited texts. Characters are taken one at a time with one character
// of pushback, so there is no line buffer and no line-length limit.
#include "textio/listread.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diag/diag.h"
#include "textio/decimal.h"
#include "textio/internal.h"

namespace {

// Significant digits a number keeps; further digits are cut, not rounded.
constexpr int MAXDIG = 40;
// Size of a new text buffer, and the step it grows by.
constexpr size_t TEXT_STEP = 128;

enum class value_kind { null, number, text };

// State of the running free-form read, shared by all its items and reset at
// its start. The current value outlives one item: a repeated value reaches
// the following items through it.
struct lread_state {
  int nrep;          // items, the current one included, still to get the value
  bool ended;        // a slash has ended the statement's values
  value_kind kind;   // what the current value is
  double num;        // the number, when kind is number
  char* text;        // the text, when kind is text (not NUL-ended)
  size_t textlen;    // characters the text has, kept or not
  size_t textcap;    // bytes the buffer holds
  size_t textkeep;   // characters kept: what the item can store
};

lread_state lr;

bool is_digit(int c) { return c >= '0' && c <= '9'; }
bool is_blank(int c) { return c == ' ' || c == '\t'; }
bool is_sign(int c) { return c == '+' || c == '-'; }
bool is_exp_letter(int c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }
// Ends an undelimited text or a digit run of a text item (and is left for
// the item loop).
bool ends_text(int c) { return is_blank(c) || c == '\n' || c == ',' || c == '/'; }

// A text keeps only the characters its item can store; the rest are
// counted and skipped as they are read, so that a text that never ends
// takes constant memory and linear time.
void text_add(int c) {
  if (lr.textlen < lr.textkeep) {
    if (lr.textlen == lr.textcap) {
      char* grown = static_cast<char*>(f__realloc(lr.text, lr.textcap + TEXT_STEP));
      if (grown == nullptr) f__fatal(ERR_NO_SPACE, "realloc failure");
      lr.text = grown;
      lr.textcap += TEXT_STEP;
    }
    lr.text[lr.textlen] = static_cast<char>(c);
  }
  ++lr.textlen;
}

// The characters of the text that are kept.
size_t text_kept() { return lr.textlen < lr.textkeep ? lr.textlen : lr.textkeep; }

// Every new text value starts in a fresh buffer of TEXT_STEP bytes and
// keeps up to `keep` characters (a repeated value reaches the later items
// of the statement as the first item kept it).
void text_new(size_t keep) {
  f__free(lr.text);
  lr.text = nullptr;
  lr.textlen = lr.textcap = 0;
  lr.textkeep = keep;
  lr.text = static_cast<char*>(f__alloc(TEXT_STEP));
  if (lr.text == nullptr) f__fatal(ERR_NO_SPACE, "no space");
  lr.textcap = TEXT_STEP;
}

// Skip blanks and tabs, and line ends too when `lines`; the first other
// character (or EOF) is returned.
int skip_blanks(bool lines) {
  int c;
  do c = t_getc();
  while (is_blank(c) || (lines && c == '\n'));
  return c;
}

// The stored digits as a repeat count; error 112 when the count is more
// than a 32-bit signed integer holds.
int repeat_count(const char* dig, int n) {
  long long r = 0;
  for (int i = 0; i < n; ++i) {
    r = r * 10 + (dig[i] - '0');
    if (r > INT_MAX) f__fatal(ERR_LIST_INPUT, "bad repetition count");
  }
  return static_cast<int>(r);
}

// A numeric value: [r*][sign][digits][.digits][exponent], the exponent being
// a letter D, E, d or e with an optional sign, or a bare sign.
int l_R() {
  if (lr.nrep > 0) return 0;
  lr.nrep = 1;
  lr.kind = value_kind::null;
  bool star = false;
  long long exp = 0;

  char dig[MAXDIG];
  int nstored, nread;
  bool dropped, neg;
  int c;
  for (;;) {
    nstored = nread = 0;
    dropped = neg = false;
    c = t_getc();
    if (is_sign(c)) {
      neg = c == '-';
      c = t_getc();
    }
    // Leading zeros count as digits read but are not kept.
    for (; c == '0'; c = t_getc()) ++nread;
    for (; is_digit(c); c = t_getc()) {
      ++nread;
      if (nstored < MAXDIG) {
        dig[nstored++] = static_cast<char>(c);
      } else {
        dropped = true;
        ++exp;
      }
    }
    // Only the first star is a repeat count; a second one ends the number.
    if (c != '*' || star) break;
    if (nstored == 0 || dropped || neg) f__fatal(ERR_LIST_INPUT, "bad repetition count");
    lr.nrep = repeat_count(dig, nstored);
    star = true;
  }

  if (c == '.') {
    c = t_getc();
    if (nstored == 0)
      for (; c == '0'; c = t_getc()) {
        ++nread;
        --exp;
      }
    for (; is_digit(c); c = t_getc()) {
      ++nread;
      if (nstored < MAXDIG) {
        dig[nstored++] = static_cast<char>(c);
        --exp;
      }
    }
  }

  // A bare sign starts an exponent even with no mantissa digit before it;
  // a letter only after at least one.
  bool has_exp = false, eneg = false;
  if (is_sign(c)) {
    has_exp = true;
    eneg = c == '-';
    c = t_getc();
  } else if (nread > 0 && is_exp_letter(c)) {
    has_exp = true;
    c = t_getc();
    if (is_sign(c)) {
      eneg = c == '-';
      c = t_getc();
    }
  }
  if (has_exp) {
    if (!is_digit(c)) f__fatal(ERR_LIST_INPUT, "exponent field");
    long long e = 0;
    for (; is_digit(c); c = t_getc()) {
      e = e * 10 + (c - '0');
      if (e > 99999999) f__fatal(ERR_LIST_INPUT, "exponent field");
    }
    exp += eneg ? -e : e;
  }
  t_ungetc(c);

  if (nstored > 0) {
    while (dig[nstored - 1] == '0') {
      --nstored;
      ++exp;
    }
    lr.num = decimal_to_double(neg, dig, nstored, exp);
  } else {
    lr.num = 0.0;  // -0 is +0
  }

  if (nread > 0) {
    lr.kind = value_kind::number;
    return 0;
  }
  // No mantissa digit: a null value only where a separator follows.
  if (c == ',' || c == '/') return 0;
  if (star && (is_blank(c) || c == '\n')) return 0;
  f__fatal(ERR_LIST_INPUT, "invalid number");
}

// Undelimited text from its first character c (taken whatever it is) up to a
// blank, tab, line end, comma or slash, which is left, or the end of input.
int undelimited(int c) {
  lr.kind = value_kind::text;
  text_add(c);
  for (c = t_getc(); c != EOF; c = t_getc()) {
    if (ends_text(c)) {
      t_ungetc(c);
      break;
    }
    text_add(c);
  }
  return 0;
}

// Text between two delimiters q (apostrophe or quotation mark); a doubled
// delimiter is one delimiter character. A line end is dropped, joining the
// lines, except that a backslash just before it becomes a line feed.
int delimited(int q) {
  lr.kind = value_kind::text;
  for (;;) {
    int c = t_getc();
    if (c == EOF) {
      // The item gets nothing; -1 comes back even without end-of-file
      // detection. With detection the caller abandons the statement, so it
      // must end here.
      if (f__elist->ciend) return f__eof("list in");
      return -1;
    }
    if (c == q) {
      c = t_getc();
      if (c != q) {
        t_ungetc(c);
        return 0;
      }
    } else if (c == '\n') {
      // (A last character beyond the kept ones cannot be stored anyway.)
      if (lr.textlen > 0 && lr.textlen <= lr.textkeep && lr.text[lr.textlen - 1] == '\\')
        lr.text[lr.textlen - 1] = '\n';
      continue;
    }
    text_add(c);
  }
}

// A text value: [r*] then a delimited text, an undelimited text, or nothing
// (a null value). Digits not followed by a star are text of their own.
int l_CHAR(int len) {
  if (lr.nrep > 0) return 0;
  lr.nrep = 1;
  lr.kind = value_kind::null;
  text_new(static_cast<size_t>(len));

  int c = t_getc();
  if (is_digit(c)) {
    long long count = 0;
    for (; is_digit(c); c = t_getc()) {
      text_add(c);
      // Past INT_MAX only "too big" matters, so the count stops growing.
      if (count <= INT_MAX) count = count * 10 + (c - '0');
    }
    if (c == EOF || ends_text(c)) {
      t_ungetc(c);
      lr.kind = value_kind::text;
      return 0;
    }
    if (c != '*' || count == 0) return undelimited(c);
    if (count > INT_MAX) f__fatal(ERR_LIST_INPUT, "bad repetition count");
    lr.nrep = static_cast<int>(count);
    lr.textlen = 0;
  } else {
    t_ungetc(c);
  }

  // A line end directly after a star is no separator here: it begins an
  // undelimited text running to the next separator.
  c = t_getc();
  if (c == '\'' || c == '"') return delimited(c);
  if (c == EOF || is_blank(c) || c == ',' || c == '/') {
    t_ungetc(c);
    return 0;
  }
  return undelimited(c);
}

// The current value into one item. A null value, or a value of the other
// kind, stores nothing.
void store(char* ptr, int len, int type) {
  if (type == TYCHAR) {
    if (lr.kind != value_kind::text) return;
    int n = 0;
    while (n < len && static_cast<size_t>(n) < text_kept() && lr.text[n] != '\0') {
      ptr[n] = lr.text[n];
      ++n;
    }
    memset(ptr + n, ' ', len - n);
    return;
  }
  if (lr.kind != value_kind::number) return;
  if (type == TYREAL) {
    // Round to nearest, ties to even; beyond the range an infinity.
    float f = static_cast<float>(lr.num);
    memcpy(ptr, &f, sizeof f);
  } else {
    memcpy(ptr, &lr.num, sizeof lr.num);
  }
}

}  // namespace

int t_getc() { return unit_getc(f__curunit); }

void l_reset() {
  f__free(lr.text);
  lr = lread_state{};
}

void t_ungetc(int c) { tm_ungetc(f__curunit, c); }

int l_read(int number, char* ptr, int len, int type) {
  for (int i = 0; i < number; ++i, ptr += len) {
    if (lr.ended) return 0;
    unit* u = f__curunit;
    if (u->uend) return f__eof("list in");
    if (type != TYREAL && type != TYDREAL && type != TYCHAR) f__fatal(ERR_UNKNOWN_TYPE, "unknown type in lio");

    bool null_by_comma = false;
    if (lr.nrep <= 0) {
      lr.kind = value_kind::null;
      int c = skip_blanks(true);
      if (c == EOF) return f__eof("list in");
      if (c == '/') {
        lr.ended = true;
        return 0;
      }
      if (c == ',') {
        lr.nrep = 1;
        null_by_comma = true;
      } else {
        t_ungetc(c);
      }
    }
    if (!null_by_comma) {
      int rc = type == TYCHAR ? l_CHAR(len) : l_R();
      if (rc != 0) return rc;
      // The separating comma belongs to the last repetition of a value.
      int c = skip_blanks(false);
      if (c != ',' || lr.nrep > 1) t_ungetc(c);
    }
    if (ferror(u->ufd)) {
      int err = errno;
      clearerr(u->ufd);
      f__fatal(err, "list in");
    }
    store(ptr, len, type);
    if (lr.nrep > 0) --lr.nrep;
  }
  return 0;
}

int s_rsle(const cilist* a) {
  int rc = f__stmt_start(a, k_rsle);
  f__lioproc = l_read;
  lr.nrep = 0;
  lr.ended = false;
  lr.kind = value_kind::null;
  return rc;
}

int e_rsle() {
  f__init = io_mark::idle;
  unit* u = f__curunit;
  if (u->uend) return 0;
  // Skip the rest of the line; the input ending first sets the flag.
  for (;;) {
    int c = t_getc();
    if (c == '\n') return 0;
    if (c == EOF) return -1;
  }
}
