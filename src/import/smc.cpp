// SMC: 11 text lines, 48 integers (6 lines of 8 I10), 50 reals (10 lines of
// 5 E15.7), the comment lines, then the samples in cm/s², 8 fields of 10
// characters a line. Fields may run together, so every line is cut by width.
#include <cmath>

#include "import/formats.h"
#include "import/numtext.h"

namespace import {

namespace {

constexpr int kTextLines = 11;
constexpr int kInts = 48, kIntsPerLine = 8, kIntWidth = 10;
constexpr int kReals = 50, kRealsPerLine = 5, kRealWidth = 15;

}  // namespace

std::vector<channel> read_smc(const text_file& f) {
  const std::string kind = upper(f.at(1));
  if (kind.find("ACCELEROGRAM") == std::string::npos)
    f.refuse(1, "not an accelerogram: \"" + trim(f.at(1)) + "\"");

  std::vector<long long> ints;
  int line = kTextLines + 1;
  for (int k = 0; k < kInts; ++k) {
    int n = line + k / kIntsPerLine;
    std::string field = f.at(n).substr(std::min(f.at(n).size(), size_t((k % kIntsPerLine) * kIntWidth)), kIntWidth);
    long long v;
    if (!parse_int(field, v)) f.refuse(n, "integer header: not an integer: \"" + trim(field) + "\"");
    ints.push_back(v);
  }
  line += kInts / kIntsPerLine;
  std::vector<double> reals;
  line = read_values(f, line, kReals, {kRealsPerLine, kRealWidth, 7}, reals);

  const long long nodata_int = ints[0];
  const double nodata = reals[0];
  const int count_line = kTextLines + 3, comments_line = kTextLines + 2;
  if (ints[16] == nodata_int || ints[16] < 0) f.refuse(count_line, "no sample count");
  if (ints[15] == nodata_int || ints[15] < 0) f.refuse(comments_line, "no comment-line count");
  const double sps = reals[1];
  if (sps == nodata || !(sps > 0) || !std::isfinite(sps))
    f.refuse(kTextLines + 7, "no sampling rate (samples per second)");

  for (long long k = 0; k < ints[15]; ++k, ++line) {
    if (line > f.count()) f.refuse(f.count(), "the file ends inside the comment lines");
    if (f.at(line).empty() || f.at(line)[0] != '|')
      f.refuse(line, "comment line " + std::to_string(k + 1) + " of " + std::to_string(ints[15]) +
                         " does not start with |");
  }

  channel c;
  c.file = f.name;
  c.line = count_line;
  c.dt = 1.0 / sps;
  c.dt_line = kTextLines + 7;
  // Component: line 6 "... component=    360".
  const std::string& l6 = f.at(6);
  auto at = l6.find("component=");
  if (at == std::string::npos) f.refuse(6, "no \"component=\"");
  std::string name = trim(l6.substr(at + 10));
  if (auto blank = name.find_first_of(" \t"); blank != std::string::npos) name.resize(blank);
  if (!name_component(name, c.label, c.vertical))
    f.refuse(6, "cannot tell the component from \"" + name + "\"");
  // Start: year, day of the year, hour, minute, second, millisecond.
  bool known = true;
  for (int k = 1; k <= 4; ++k) known = known && ints[k] != nodata_int;
  if (known) {
    double second = ints[5] == nodata_int ? 0.0 : static_cast<double>(ints[5]);
    if (ints[6] != nodata_int) second += ints[6] / 1000.0;
    c.has_start = true;
    c.start_day = civil_day(ints[1], 1, 1) + ints[2] - 1;
    c.start_second = ints[3] * 3600.0 + ints[4] * 60.0 + second;
  }
  c.u = unit::gal;
  read_values(f, line, ints[16], {8, 10, 0}, c.values, &nodata);
  return {c};
}

}  // namespace import
