// COSMOS Volume 1 and 2: one or more blocks, each a text header whose first
// line gives the number of text lines, the integer header, the real header,
// the comment lines, a line with the number of points and the values'
// Fortran format, the values, and a line "End-of-data ...". A file may hold
// several channels and, after each acceleration block, its velocity and
// displacement blocks; only acceleration blocks are used.
#include <cmath>
#include <cstdlib>

#include "import/formats.h"
#include "import/numtext.h"

namespace import {

namespace {

// The unit codes of integer header value 3.
bool unit_of_code(long long code, unit& u) {
  switch (code) {
    case 2: u = unit::g; return true;
    case 4: case 10: u = unit::gal; return true;
    case 11: u = unit::mg; return true;
    default: return false;
  }
}

// The first integer of a line ("   19200 acceleration pts, ...").
bool leading_count(const std::string& line, long long& n) {
  std::string t = trim(line);
  size_t e = t.find_first_of(" \t");
  return parse_int(t.substr(0, e), n) && n >= 0;
}

// The Fortran format after "Format=" on a line.
bool format_on(const std::string& line, fortran_format& fmt) {
  std::string u = upper(line);
  size_t at = u.find("FORMAT=");
  if (at == std::string::npos) return false;
  size_t open = u.find('(', at), close = u.find(')', at);
  if (open == std::string::npos || close == std::string::npos || close < open) return false;
  return parse_format(u.substr(open, close - open + 1), fmt);
}

bool end_of_data(const std::string& line) {
  return upper(trim(line)).rfind("END-OF-DATA", 0) == 0;
}

struct block_reader {
  const text_file& f;
  int line;  // the block's first line

  // A count line followed by a header of values in the format it names;
  // `where(k)` then gives the line of value k (0-based).
  int first_value_line = 0, per_line = 1;
  int where(int k) const { return first_value_line + k / per_line; }
  std::vector<double> header(const char* what, long long want) {
    long long n;
    fortran_format fmt;
    if (!leading_count(f.at(line), n) || !format_on(f.at(line), fmt))
      f.refuse(line, std::string("expected the ") + what + " header line (count and Format=)");
    if (n < want)
      f.refuse(line, std::string(what) + " header: " + std::to_string(n) + " values, " +
                         std::to_string(want) + " needed");
    std::vector<double> v;
    first_value_line = line + 1;
    per_line = fmt.per_line;
    line = read_values(f, line + 1, n, {fmt.per_line, fmt.width, fmt.decimals}, v);
    return v;
  }
};

}  // namespace

std::vector<channel> read_cosmos(const text_file& f) {
  std::vector<channel> out;
  int line = 1;
  int blocks = 0;
  while (true) {
    while (line <= f.count() && trim(f.at(line)).empty()) ++line;
    if (line > f.count()) break;
    ++blocks;
    const int first = line;
    const std::string head = upper(f.at(first));
    long long ntext = 0;
    size_t w = head.find(" WITH ");
    if (head.find("(FORMAT V") == std::string::npos || w == std::string::npos ||
        !parse_int(trim(head.substr(w + 6, head.find("TEXT LINES") - w - 6)), ntext) || ntext < 1)
      f.refuse(first, "expected a block's first line \"... (Format v.. with N text lines)\"");
    if (ntext > f.count() - first + 1)
      f.refuse(f.count(), "the file ends inside the " + std::to_string(ntext) + " text lines");
    // No-data values: "...unknown/unspecified:   -999, -999.00".
    bool has_nodata = false;
    double nodata_real = 0;
    long long nodata_int = 0;
    for (int n = first; n < first + ntext; ++n) {
      const std::string& t = f.at(n);
      if (upper(t).find("UNSPECIFIED") == std::string::npos) continue;
      size_t colon = t.rfind(':');
      size_t comma = t.find(',', colon == std::string::npos ? 0 : colon);
      if (colon == std::string::npos || comma == std::string::npos ||
          !parse_int(t.substr(colon + 1, comma - colon - 1), nodata_int) ||
          !parse_real(t.substr(comma + 1), nodata_real))
        f.refuse(n, "cannot read the no-data values");
      has_nodata = true;
    }
    block_reader r{f, static_cast<int>(first + ntext)};
    std::vector<double> realints = r.header("integer", 100);
    auto int_line = [r](int number) { return r.where(number - 1); };  // of value #number
    // Whole numbers of a sane size only: they become dates, codes and counts.
    for (size_t k = 0; k < realints.size(); ++k)
      if (!(std::fabs(realints[k]) < 1e9) || realints[k] != std::trunc(realints[k]))
        f.refuse(int_line(static_cast<int>(k) + 1),
                 "integer header value " + std::to_string(k + 1) + " is no integer of at most 9 digits");
    std::vector<long long> ints(realints.begin(), realints.end());
    auto known = [&](long long v) { return !has_nodata || v != nodata_int; };
    std::vector<double> reals = r.header("real", 100);
    auto real_line = [r](int number) { return r.where(number - 1); };
    long long ncomments;
    if (!leading_count(f.at(r.line), ncomments) || upper(f.at(r.line)).find("COMMENT") == std::string::npos)
      f.refuse(r.line, "expected the comment count line");
    std::string scnl;
    for (long long k = 0; k < ncomments; ++k) {
      int n = r.line + 1 + static_cast<int>(k);
      if (n > f.count()) f.refuse(f.count(), "the file ends inside the comment lines");
      const std::string& t = f.at(n);
      if (t.empty() || t[0] != '|') f.refuse(n, "a comment line that does not start with |");
      if (size_t s = t.find("<SCNL>"); s != std::string::npos && scnl.empty()) scnl = trim(t.substr(s + 6));
    }
    const int data_line = r.line + 1 + static_cast<int>(ncomments);
    long long npts;
    fortran_format fmt;
    if (!leading_count(f.at(data_line), npts) || !format_on(f.at(data_line), fmt))
      f.refuse(data_line, "expected the data line (number of points and Format=)");

    const long long quantity = ints[1];
    if (quantity != 1) {  // velocity, displacement, ...: skip to its end
      int n = data_line + 1;
      while (n <= f.count() && !end_of_data(f.at(n))) ++n;
      if (n > f.count()) f.refuse(data_line, "no End-of-data line after this block");
      line = n + 1;
      continue;
    }
    channel c;
    c.file = f.name;
    c.line = data_line;
    if (ints[2] == 50)
      f.refuse(int_line(3), "the samples are counts (unit code 50): a record in physical units is needed");
    if (!unit_of_code(ints[2], c.u))
      f.refuse(int_line(3), "unit code " + std::to_string(ints[2]) + " is not an acceleration unit");
    const double ms = reals[61];
    c.dt_line = real_line(62);
    if ((has_nodata && ms == nodata_real) || !(ms > 0) || !std::isfinite(ms))
      f.refuse(c.dt_line, "no sampling interval (real header value 62, in milliseconds)");
    c.dt = ms / 1000.0;
    // Start: year, day of the year, month, day, hour, minute; the second is
    // real header value 30.
    const long long year = ints[39], jday = ints[40], month = ints[41], day = ints[42];
    const long long hour = ints[43], minute = ints[44];
    const double second = reals[29];
    if (known(year) && known(hour) && known(minute) && !(has_nodata && second == nodata_real)) {
      if (known(month) && known(day) && month >= 1 && month <= 12) {
        c.has_start = true;
        c.start_day = civil_day(year, static_cast<int>(month), static_cast<int>(day));
      } else if (known(jday)) {
        c.has_start = true;
        c.start_day = civil_day(year, 1, 1) + jday - 1;
      }
      c.start_second = hour * 3600.0 + minute * 60.0 + second;
    }
    line = read_values(f, data_line + 1, npts, {fmt.per_line, fmt.width, fmt.decimals}, c.values,
                       has_nodata ? &nodata_real : nullptr);
    std::string code;
    if (line <= f.count()) {
      if (!end_of_data(f.at(line)))
        f.refuse(line, "expected End-of-data after the " + std::to_string(npts) + " samples");
      std::string t = upper(f.at(line));
      if (size_t at = t.find("CHAN"); at != std::string::npos) {
        size_t b = t.find_first_not_of(" \t", at + 4);
        size_t e = b == std::string::npos ? b : t.find_first_of(" \t", b);
        if (b != std::string::npos) code = t.substr(b, e == std::string::npos ? e : e - b);
      }
      ++line;
    }
    if (!scnl.empty()) {  // STATION.CHANNEL.NETWORK.LOCATION
      size_t dot = scnl.find('.');
      size_t dot2 = dot == std::string::npos ? dot : scnl.find('.', dot + 1);
      if (dot2 != std::string::npos) code = upper(scnl.substr(dot + 1, dot2 - dot - 1));
    }
    const long long azimuth = ints[53];
    std::string label;
    bool vertical = false;
    bool named = !code.empty() && !std::isdigit(static_cast<unsigned char>(code[0])) &&
                 name_component(code, label, vertical);
    if (known(azimuth) && (azimuth == 400 || azimuth == 401)) {
      vertical = true;
      if (!named) label = azimuth == 400 ? "UP" : "DOWN";
      named = true;
    } else if (known(azimuth) && azimuth >= 0 && azimuth <= 360) {
      vertical = false;
      if (!named) label = "H" + std::to_string(azimuth);
      named = true;
    }
    if (!named)
      f.refuse(int_line(54), "cannot tell the component: no channel code and no azimuth");
    c.label = label;
    c.vertical = vertical;
    out.push_back(std::move(c));
  }
  if (blocks == 0) f.refuse(1, "an empty file");
  if (out.empty()) f.refuse(1, "no acceleration block (integer header value 2 is 1 for acceleration)");
  return out;
}

}  // namespace import
