// The format reader: a parenthesised list of fields, literals and groups,
// parsed into at most 300 steps.
#include <cctype>
#include <cstdio>

#include "diag/diag.h"
#include "textio/format.h"

namespace {

const char* base;  // the text being parsed

int op_gen(int op, int p1 = 0, int p2 = 0, int p3 = 0) {
  if (f__nsyl >= kMaxSteps) {
    fputs("format too complicated:\n", stderr);
    sig_die(base, 1);
  }
  f__syl[f__nsyl] = {op, p1, p2, p3};
  return f__nsyl++;
}

const char* skip_blanks(const char* p) {
  while (*p == ' ') ++p;
  return p;
}

// Decimal digits into *n; null when there are none or the value is absurd.
const char* number(const char* p, int* n) {
  if (!isdigit(static_cast<unsigned char>(*p))) return nullptr;
  long v = 0;
  while (isdigit(static_cast<unsigned char>(*p))) {
    v = v * 10 + (*p++ - '0');
    if (v > 99999999) return nullptr;
  }
  *n = static_cast<int>(v);
  return p;
}

bool is_delim(char c) { return c == '\x02' || c == '\'' || c == '"'; }

// A literal from its opening delimiter; a doubled delimiter inside it
// stands for one character.
const char* literal(const char* p) {
  char d = *p;
  const char* q = p + 1;
  for (;;) {
    if (*q == '\0') f__fatal(ERR_FORMAT, "bad string");
    if (*q == d) {
      if (q[1] != d) break;
      ++q;
    }
    ++q;
  }
  op_gen(OP_APOS, static_cast<int>(p - base));
  return q + 1;
}

int revloc;  // reversion point: the last group opened at the outer level

const char* list(const char* p, int level);

const char* item(const char* p, int level) {
  p = skip_blanks(p);
  if (is_delim(*p)) return literal(p);
  int count = 1;
  if (isdigit(static_cast<unsigned char>(*p))) {
    p = number(p, &count);
    if (p == nullptr) return nullptr;
    p = skip_blanks(p);
  }
  switch (*p) {
    case '(': {
      int at = op_gen(OP_STACK, count);
      if (level == 0) revloc = at;
      op_gen(OP_GROUP);
      p = list(p + 1, level + 1);
      if (p == nullptr) return nullptr;
      op_gen(OP_CLOSE);
      return p;
    }
    case 'F':
    case 'f': {
      int w, d;
      p = number(skip_blanks(p + 1), &w);
      if (p == nullptr || *p != '.') return nullptr;
      p = number(p + 1, &d);
      if (p == nullptr) return nullptr;
      op_gen(OP_STACK, count);
      op_gen(OP_F, w, d);
      return p;
    }
    case 'A':
    case 'a': {
      int w = 0;
      const char* q = number(p + 1, &w);
      op_gen(OP_STACK, count);
      op_gen(OP_A, w);
      return q ? q : p + 1;
    }
    default:
      return nullptr;
  }
}

// Items up to and including the closing parenthesis.
const char* list(const char* p, int level) {
  p = skip_blanks(p);
  if (*p == ')') return p + 1;
  for (;;) {
    p = item(p, level);
    if (p == nullptr) return nullptr;
    p = skip_blanks(p);
    if (*p == ')') return p + 1;
    if (*p != ',') return nullptr;
    ++p;
  }
}

}  // namespace

int pars_f(const char* s) {
  base = s;
  f__fmttext = s;
  f__nsyl = 0;
  revloc = 1;
  const char* p = skip_blanks(s);
  if (*p != '(') return -1;
  op_gen(OP_RET);
  if (list(p + 1, 0) == nullptr) return -1;
  op_gen(OP_END, revloc);
  return 0;
}
