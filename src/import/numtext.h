#pragma once
// Numbers as the record formats write them, and as the output writes them.
#include <string>
#include <string_view>
#include <vector>

#include "import/source.h"

namespace import {

// A real in Fortran input style, blanks around it allowed: an optional sign,
// digits with or without a decimal point (".5", "5."), and an optional
// exponent with the letter E, e, D or d, or a signed exponent with no letter
// ("1.5-3" is 0.0015). A text without a decimal point takes `decimals`
// implied decimals (an F8.5 field "12345" is 0.12345). False for anything else.
bool parse_real(std::string_view text, double& value, int decimals = 0);

// An integer with an optional sign, blanks around it allowed.
bool parse_int(std::string_view text, long long& value);

// A Fortran edit descriptor list of one repeated item: "(10I8)", "(5F15.6)",
// "(1E15.6)", "(8f9.6)"; an optional scale factor "1P" before the item is
// accepted (it changes nothing on input).
struct fortran_format {
  int per_line = 0;
  char kind = 0;  // 'I', 'F', 'E' (E also for D and G)
  int width = 0;
  int decimals = 0;
};
bool parse_format(std::string_view text, fortran_format& f);

// Where a block of values is read from and how: `per_line` fields of `width`
// characters (width 0: values separated by blanks, any number on a line).
struct value_layout {
  int per_line = 0;
  int width = 0;
  int decimals = 0;
};

// Reads exactly `count` reals starting at line `line` of the file, the last
// line possibly partial; returns the line after the last one read. A field
// that is not a number, a short line before the last, more values on a line
// than the layout or than declared, and the file ending first are refused.
// `nodata`, when given, is refused as a sample value.
int read_values(const text_file& f, int line, long long count, const value_layout& layout,
                std::vector<double>& out, const double* nodata = nullptr);

// The shortest text that reads back (to double, then rounded to float) as f;
// "0" for either zero.
std::string float_text(float f);

}  // namespace import
