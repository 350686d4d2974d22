// PEER AT2: one component in g. Header lines (4, or up to 7 for rotated or
// scaled records): line 2 ends with the component after its last comma, a
// line says "UNITS OF G", and the last one gives the number of points and
// the interval, as "NPTS= 7999, DT= .0050 SEC" or as "3930 0.00500 NPTS, DT".
// Then the values, separated by blanks, the last line partial. No start time.
#include <cmath>

#include "import/formats.h"
#include "import/numtext.h"

namespace import {

namespace {

// The number after "KEY=" (blanks allowed around the '='), up to a blank or comma.
bool keyed(const std::string& up, const char* key, std::string& value) {
  size_t at = up.find(key);
  if (at == std::string::npos) return false;
  at = up.find_first_not_of(" \t", at + std::string(key).size());
  if (at == std::string::npos || up[at] != '=') return false;
  at = up.find_first_not_of(" \t", at + 1);
  if (at == std::string::npos) return false;
  size_t e = up.find_first_of(" \t,", at);
  value = up.substr(at, e == std::string::npos ? e : e - at);
  return true;
}

}  // namespace

std::vector<channel> read_at2(const text_file& f) {
  int npts_line = 0;
  for (int n = 1; n <= 7 && npts_line == 0; ++n)
    if (upper(f.at(n)).find("NPTS") != std::string::npos) npts_line = n;
  const std::string up = upper(f.at(npts_line));
  std::string count_text, dt_text;
  if (up.find('=') != std::string::npos) {
    if (!keyed(up, "NPTS", count_text) || !keyed(up, "DT", dt_text))
      f.refuse(npts_line, "expected \"NPTS= n, DT= s\"");
  } else {  // "3930 0.00500 NPTS, DT"
    std::string t = trim(up);
    size_t b = t.find_first_of(" \t");
    size_t c = b == std::string::npos ? b : t.find_first_not_of(" \t", b);
    size_t d = c == std::string::npos ? c : t.find_first_of(" \t,", c);
    if (d == std::string::npos || t.find("NPTS", d) == std::string::npos)
      f.refuse(npts_line, "expected \"n s NPTS, DT\"");
    count_text = t.substr(0, b);
    dt_text = t.substr(c, d - c);
  }
  long long npts;
  double dt;
  if (!parse_int(count_text, npts) || npts < 0)
    f.refuse(npts_line, "the number of points is not a whole number: \"" + count_text + "\"");
  if (!parse_real(dt_text, dt) || !(dt > 0) || !std::isfinite(dt))
    f.refuse(npts_line, "the interval is not a positive number: \"" + dt_text + "\"");

  bool in_g = false;
  for (int n = 1; n < npts_line; ++n) {
    const std::string h = upper(f.at(n));
    if (h.find("VELOCITY") != std::string::npos || h.find("DISPLACEMENT") != std::string::npos)
      f.refuse(n, "not an acceleration record: \"" + trim(f.at(n)) + "\"");
    if (h.find("UNITS OF G") != std::string::npos) in_g = true;
  }
  if (!in_g) f.refuse(npts_line, "no header line says the unit (\"UNITS OF G\")");

  channel c;
  c.file = f.name;
  c.line = c.dt_line = npts_line;
  c.dt = dt;
  c.u = unit::g;
  const std::string& l2 = f.at(2);
  std::string name = trim(l2.substr(l2.rfind(',') == std::string::npos ? 0 : l2.rfind(',') + 1));
  if (npts_line < 3 || !name_component(name, c.label, c.vertical))
    f.refuse(2, "cannot tell the component from the end of line 2: \"" + name + "\"");
  int after = read_values(f, npts_line + 1, npts, {0, 0, 0}, c.values);
  for (int n = after; n <= f.count(); ++n)
    if (!trim(f.at(n)).empty()) f.refuse(n, "values after the " + std::to_string(npts) + " declared");
  return {c};
}

}  // namespace import
