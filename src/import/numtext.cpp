#include "import/numtext.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace import {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string_view strip(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Whether a line after `line` holds anything but blanks.
bool more_after(const text_file& f, int line) {
  for (int n = line + 1; n <= f.count(); ++n)
    if (f.at(n).find_first_not_of(" \t") != std::string::npos) return true;
  return false;
}

}  // namespace

bool parse_real(std::string_view text, double& value, int decimals) {
  std::string_view s = strip(text);
  std::string mantissa;
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) mantissa += s[i++];
  int digits = 0;
  bool point = false;
  for (; i < s.size(); ++i) {
    if (is_digit(s[i])) {
      mantissa += s[i];
      ++digits;
    } else if (s[i] == '.' && !point) {
      mantissa += '.';
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  long long exponent = 0;
  if (i < s.size()) {
    char c = s[i];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') ++i;
    else if (c != '+' && c != '-') return false;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) return false;
    for (; i < s.size(); ++i) {
      if (!is_digit(s[i]) || exponent > 100000) return false;
      exponent = exponent * 10 + (s[i] - '0');
    }
    if (negative) exponent = -exponent;
  }
  if (!point) exponent -= decimals;
  std::string full = mantissa + "e" + std::to_string(exponent);
  value = std::strtod(full.c_str(), nullptr);
  return true;
}

bool parse_int(std::string_view text, long long& value) {
  std::string_view s = strip(text);
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == s.size() || s.size() - i > 18) return false;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (!is_digit(s[i])) return false;
    v = v * 10 + (s[i] - '0');
  }
  value = negative ? -v : v;
  return true;
}

bool parse_format(std::string_view text, fortran_format& f) {
  std::string_view s = strip(text);
  if (s.size() < 4 || s.front() != '(' || s.back() != ')') return false;
  s = strip(s.substr(1, s.size() - 2));
  auto number = [&s](int& n) {
    n = 0;
    size_t k = 0;
    while (k < s.size() && is_digit(s[k]) && k < 6) n = n * 10 + (s[k++] - '0');
    s.remove_prefix(k);
    return k > 0;
  };
  int n = 0;
  bool counted = number(n);
  if (!s.empty() && (s.front() == 'P' || s.front() == 'p')) {  // scale factor
    s.remove_prefix(1);
    counted = number(n);
  }
  f.per_line = counted ? n : 1;
  if (s.empty()) return false;
  char k = static_cast<char>(std::toupper(static_cast<unsigned char>(s.front())));
  s.remove_prefix(1);
  if (k == 'D' || k == 'G') k = 'E';
  if (k != 'I' && k != 'F' && k != 'E') return false;
  f.kind = k;
  if (!number(f.width) || f.width == 0) return false;
  f.decimals = 0;
  if (!s.empty() && s.front() == '.') {
    s.remove_prefix(1);
    if (!number(f.decimals)) return false;
  }
  return s.empty() && f.per_line > 0;
}

int read_values(const text_file& f, int line, long long count, const value_layout& layout,
                std::vector<double>& out, const double* nodata) {
  long long got = 0;
  while (got < count) {
    if (line > f.count())
      f.refuse(f.count(), "the file ends after " + std::to_string(got) + " of the " +
                              std::to_string(count) + " declared samples");
    const std::string& text = f.at(line);
    std::vector<std::string> fields;
    if (layout.width > 0) {
      size_t end = text.find_last_not_of(" \t");
      size_t len = end == std::string::npos ? 0 : end + 1;
      for (size_t at = 0; at < len; at += layout.width)
        fields.push_back(text.substr(at, layout.width));
    } else {
      size_t at = 0;
      while ((at = text.find_first_not_of(" \t", at)) != std::string::npos) {
        size_t e = text.find_first_of(" \t", at);
        if (e == std::string::npos) e = text.size();
        fields.push_back(text.substr(at, e - at));
        at = e;
      }
    }
    long long left = count - got;
    if (layout.per_line > 0 && static_cast<int>(fields.size()) > layout.per_line)
      f.refuse(line, std::to_string(fields.size()) + " values on the line; the layout has " +
                         std::to_string(layout.per_line));
    if (static_cast<long long>(fields.size()) > left)
      f.refuse(line, "more values than the " + std::to_string(count) + " declared");
    if (layout.per_line > 0 && static_cast<long long>(fields.size()) < left &&
        static_cast<int>(fields.size()) < layout.per_line && more_after(f, line))
      f.refuse(line, "a short line: " + std::to_string(fields.size()) + " values where the layout has " +
                         std::to_string(layout.per_line));
    for (const std::string& field : fields) {
      double v;
      if (!parse_real(field, v, layout.decimals))
        f.refuse(line, "not a number: \"" + trim(field) + "\"");
      if (nodata && v == *nodata)
        f.refuse(line, "the no-data value " + trim(field) + " stands among the samples");
      out.push_back(v);
    }
    got += static_cast<long long>(fields.size());
    ++line;
  }
  return line;
}

std::string float_text(float f) {
  if (f == 0.0f) return "0";
  char buf[40];
  for (int p = 1; p <= 9; ++p) {
    std::snprintf(buf, sizeof buf, "%.*g", p, static_cast<double>(f));
    if (static_cast<float>(std::strtod(buf, nullptr)) == f) break;
  }
  return buf;
}

}  // namespace import
