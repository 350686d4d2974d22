// K-NET and KiK-net: 17 lines "key value" (the value from column 19), then
// integer counts, 8 a line. Acceleration in gal = counts x the scale factor
// ("3920(gal)/6182761"), less the mean, as the format prescribes. The record
// time is the first sample's time (the trigger delay already taken off).
#include <cmath>
#include <cstdio>

#include "import/formats.h"
#include "import/numtext.h"

namespace import {

namespace {

constexpr int kHeaderLines = 17;

// The value of the header line whose key starts with `key`; 0 when absent.
int find_key(const text_file& f, const char* key, std::string& value) {
  for (int n = 1; n <= kHeaderLines; ++n) {
    const std::string& t = f.at(n);
    if (t.rfind(key, 0) == 0) {
      value = trim(t.size() > 18 ? t.substr(18) : std::string());
      return n;
    }
  }
  return 0;
}

int need_key(const text_file& f, const char* key, std::string& value) {
  int n = find_key(f, key, value);
  if (n == 0) f.refuse(kHeaderLines, std::string("no \"") + key + "\" line in the header");
  return n;
}

}  // namespace

std::vector<channel> read_knet(const text_file& f) {
  channel c;
  c.file = f.name;
  c.u = unit::gal;
  std::string v;

  c.dt_line = need_key(f, "Sampling Freq(Hz)", v);
  double hz;
  std::string digits = v.substr(0, v.find_first_not_of("0123456789.+-eE"));
  if (!parse_real(digits, hz) || !(hz > 0) || !std::isfinite(hz))
    f.refuse(c.dt_line, "the sampling frequency is not a positive number: \"" + v + "\"");
  c.dt = 1.0 / hz;

  const int dir_line = need_key(f, "Dir.", v);
  // K-NET: N-S, E-W, U-D; KiK-net: 1, 2, 3 down the borehole, 4, 5, 6 at the surface.
  static const char* const kik[] = {"N-S", "E-W", "U-D", "N-S", "E-W", "U-D"};
  std::string label;
  if (v.size() == 1 && v[0] >= '1' && v[0] <= '6') {
    std::string name = kik[v[0] - '1'];
    name_component(name, c.label, c.vertical);
    c.label = (v[0] <= '3' ? "B" : "S") + c.label;  // borehole or surface
  } else if (v != "N-S" && v != "E-W" && v != "U-D") {
    f.refuse(dir_line, "unknown direction \"" + v + "\" (N-S, E-W, U-D or 1 to 6)");
  } else {
    name_component(v, c.label, c.vertical);
  }

  const int scale_line = need_key(f, "Scale Factor", v);
  // "3920(gal)/6182761"
  size_t paren = v.find("(gal)/");
  double numerator, denominator;
  if (paren == std::string::npos || !parse_real(v.substr(0, paren), numerator) ||
      !parse_real(v.substr(paren + 6), denominator) || !(denominator != 0) || !std::isfinite(numerator))
    f.refuse(scale_line, "expected a scale factor \"N(gal)/M\", found \"" + v + "\"");

  const int time_line = need_key(f, "Record Time", v);
  int y, mo, d, h, mi, s;
  char end;
  if (std::sscanf(v.c_str(), "%d/%d/%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &end) != 6)
    f.refuse(time_line, "expected the record time as YYYY/MM/DD hh:mm:ss, found \"" + v + "\"");
  c.has_start = true;
  c.start_day = civil_day(y, mo, d);
  c.start_second = h * 3600.0 + mi * 60.0 + s;

  // Counts: every integer after the header.
  c.line = kHeaderLines + 1;
  std::vector<long long> counts;
  long long sum = 0;
  for (int n = kHeaderLines + 1; n <= f.count(); ++n) {
    const std::string& t = f.at(n);
    size_t at = 0;
    while ((at = t.find_first_not_of(" \t", at)) != std::string::npos) {
      size_t e = t.find_first_of(" \t", at);
      std::string word = t.substr(at, e == std::string::npos ? e : e - at);
      long long k;
      if (!parse_int(word, k) || k > (1LL << 31) || k < -(1LL << 31))
        f.refuse(n, "not an integer count: \"" + word + "\"");
      counts.push_back(k);
      sum += k;
      at = e;
    }
  }
  if (counts.empty()) f.refuse(f.count(), "no samples after the header");
  // (count - mean) x numerator / denominator, formed as
  // (count x n - sum) x numerator / (n x denominator): the difference is an
  // exact integer, so each value is rounded twice at most.
  const long long n = static_cast<long long>(counts.size());
  for (long long k : counts)
    c.values.push_back(static_cast<double>(k * n - sum) * numerator / (static_cast<double>(n) * denominator));
  return {c};
}

}  // namespace import
