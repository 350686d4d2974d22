#pragma once
// What the rspec-import tests share: running the program in a temporary
// folder, reading back the record it writes, and writing input files in the
// published layouts from given samples.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"

namespace importtest {

using testsupport::read_file;
using testsupport::temp_dir;
using testsupport::write_file;

const std::filesystem::path kData = RSPEC_SOURCE_DIR "/../shared/data";

inline testsupport::outcome run_import(const temp_dir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), IMPORT_PROGRAM);
  testsupport::run_options o;
  o.cwd = dir.path().string();
  o.has_stdin = false;
  return testsupport::run(args, "", o);
}

// A record file as the spectrum program reads it: the header words, and the
// rows read as doubles rounded to float (a row cut short by a text that is
// no plain decimal is dropped).
struct record {
  std::string header;
  std::string rows;  // the text after the header line
  std::vector<float> t, a[3];
};

inline record parse_record(const std::string& text) {
  record r;
  size_t nl = text.find('\n');
  r.header = text.substr(0, nl);
  r.rows = nl == std::string::npos ? std::string() : text.substr(nl + 1);
  const char* p = r.rows.c_str();
  while (*p) {
    char* end;
    float v[4];
    for (float& x : v) {
      x = static_cast<float>(std::strtod(p, &end));
      // Only plain decimals (no inf, nan or hex, which the record reader
      // refuses); anything else ends the rows here, and the counts show it.
      const std::string token(p, static_cast<size_t>(end - p));
      if (end == p || token.find_first_not_of(" \n0123456789+-.eE") != std::string::npos) return r;
      p = end;
    }
    r.t.push_back(v[0]);
    for (int k = 0; k < 3; ++k) r.a[k].push_back(v[k + 1]);
    while (*p == '\n' || *p == ' ') ++p;
  }
  return r;
}

// The shared samples: the first `rows` rows of the real Loma Prieta record,
// in units of 1e-5 g (whole numbers), each column's last sample set so that
// the column sums to zero (a K-NET file then loses nothing to its mean).
// 1203 rows: the last line of values is partial in every layout.
// Empty where the record is absent.
struct samples {
  std::vector<long long> c[3];  // 360, 270, up
  size_t size() const { return c[0].size(); }
};

inline samples loma_samples(size_t rows = 1203) {
  samples s;
  std::string text = read_file(kData / "lomap_saf.dat");
  if (text.empty()) return s;
  record r = parse_record(text);
  for (int k = 0; k < 3; ++k) {
    long long sum = 0;
    for (size_t i = 0; i + 1 < rows; ++i) {
      s.c[k].push_back(std::llround(r.a[k][i] / 980.665 * 1e5));
      sum += s.c[k].back();
    }
    s.c[k].push_back(-sum);
  }
  return s;
}

// The sample as the decimal number n x 1e-5 in a printf format.
inline std::string fmt(const char* f, long long n) {
  char b[64];
  std::snprintf(b, sizeof b, f, static_cast<double>(n) / 1e5);
  return b;
}

// Values `per_line` to a line, each through `one`, lines ended by `eol`.
template <class F>
std::string lines_of_values(const std::vector<long long>& v, int per_line, const std::string& eol, F one) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    out += one(v[i]);
    if ((i + 1) % per_line == 0 || i + 1 == v.size()) out += eol;
  }
  return out;
}

// PEER AT2 in g. Variant 0: "NPTS=   n, DT=   .0050 SEC," and E15.7;
// 1: "NPTS=  n, DT=    0.005 SEC", 8F10.5 with leading dots, CR LF;
// 2: seven header lines (a rotated record), "n 0.00500 NPTS, DT", E15.7 with D exponents.
inline std::string at2(const std::vector<long long>& v, const std::string& component, int variant,
                       long long npts = -1, const char* dt = nullptr) {
  if (npts < 0) npts = static_cast<long long>(v.size());
  const std::string eol = variant == 1 ? "\r\n" : "\n";
  std::string h = "PEER NGA STRONG MOTION DATABASE RECORD" + eol +
                  "Loma Prieta, 10/18/1989, San Francisco - 1295 Shafter, " + component + eol +
                  "ACCELERATION TIME SERIES IN UNITS OF G" + eol;
  char line[128];
  if (variant == 0) {
    std::snprintf(line, sizeof line, "NPTS=%7lld, DT=   %s SEC,", npts, dt ? dt : ".0050");
  } else if (variant == 1) {
    std::snprintf(line, sizeof line, "NPTS=%7lld, DT=    %s SEC", npts, dt ? dt : "0.005");
  } else {
    h += "ROTATED TO 0 DEG FROM THE RECORDED AZIMUTHS" + eol + "SCALE FACTOR 1.0" + eol +
         "SOURCE: REAL VALUES, REWRITTEN" + eol;
    std::snprintf(line, sizeof line, "%lld %s NPTS, DT", npts, dt ? dt : "0.00500");
  }
  h += line + eol;
  if (variant == 1)
    return h + lines_of_values(v, 8, eol, [](long long n) {
             std::string t = fmt("%10.5f", n);
             if (auto z = t.find("0."); z != std::string::npos && z > 0 && t[z - 1] == '-')
               t.replace(z - 1, 3, " -.");
             else if (z != std::string::npos && (z == 0 || t[z - 1] == ' '))
               t.replace(z, 2, " .");
             return t;
           });
  return h + lines_of_values(v, 5, eol, [variant](long long n) {
           std::string t = fmt("%15.7E", n);
           if (variant == 2) t[t.find('E')] = 'D';
           return t;
         });
}

// SMC: 11 text lines (the component on line 6), the integer header (start
// 1989 day 291 00:04:00, one comment line, `count` samples), the real header
// (200 samples a second, 1.7E38 for no data), one comment line, then the
// data lines as given.
inline std::string smc_with(const std::string& kind, const std::string& component,
                            const std::vector<std::string>& data, long long count) {
  std::string s = kind + "\n*\nSAF0A\n     1989  10  18    0004 Loma Prieta, CA\nMoment Mag=      7.1\n"
                  "station = San Francisco, 1295 Shafter, F component=    " + component + "\n";
  for (int n = 7; n <= 11; ++n) s += "*\n";
  for (int k = 0; k < 48; ++k) {
    long long v = k == 1 ? 1989 : k == 2 ? 291 : k == 4 ? 4 : (k == 3 || k == 5) ? 0 : k == 15 ? 1 : k == 16 ? count : -32768;
    char t[16];
    std::snprintf(t, sizeof t, "%10lld", v);
    s += t;
    if (k % 8 == 7) s += "\n";
  }
  for (int k = 0; k < 50; ++k) {
    s += k == 1 ? "  0.2000000E+03" : "  0.1700000E+39";
    if (k % 5 == 4) s += "\n";
  }
  s += "| a comment\n";
  for (const auto& d : data) s += d + "\n";
  return s;
}

// The samples as SMC data: 8 fields of 10 characters, "1.0647E-1", which
// run together where a value is negative.
inline std::string smc(const std::vector<long long>& v, const std::string& component) {
  std::string data = lines_of_values(v, 8, "\n", [](long long n) {
    std::string t = fmt("%.4E", n);  // "-1.0647E-01"
    t.erase(t.size() - 2, 1);        // "-1.0647E-1"
    return std::string(10 - t.size(), ' ') + t;
  });
  data.pop_back();
  return smc_with("2 CORRECTED ACCELEROGRAM", component, {data}, static_cast<long long>(v.size()));
}

// One COSMOS block. `quantity` 1 acceleration, 2 velocity, 3 displacement;
// `unit_code` integer header value 3; `second` the start second (real value
// 30); `code` the channel code ("" for none, then only the azimuth tells);
// `data_format` e.g. "(1E15.6)" with `one` writing a value; `six` puts the
// real header as 6F13.6. Real value 34 holds a wrong interval on purpose:
// the interval is real value 62, in milliseconds.
struct cosmos_block {
  int quantity = 1;
  int unit_code = 2;
  double second = 0.0;
  std::string code;
  int azimuth = 360;
  const char* data_format = "(1E15.6)";
  int per_line = 1;
  const char* value_format = "%15.6E";
  bool six = false;
  double ms = 5.0;
  long long npts = -1;
  bool code_at_end = true;      // the End-of-data line names the code, else the channel number
  bool code_in_comment = true;  // a <SCNL> comment names it
};

inline std::string cosmos(const cosmos_block& b, const std::vector<long long>& v, const std::string& eol = "\n") {
  std::string s;
  const char* what = b.quantity == 1 ? "acceleration" : b.quantity == 2 ? "velocity" : "displacement";
  s += std::string(b.quantity == 1 ? "Corrected acceleration" : "Velocity") +
       "    (Format v01.20 with 13 text lines)" + eol;
  for (int n = 2; n <= 12; ++n) s += "Text line " + std::to_string(n) + " of the header" + eol;
  s += "Values used when parameter or data value is unknown/unspecified:   -999, -999.00" + eol;
  std::vector<long long> ints(100, -999);
  ints[0] = 2;
  ints[1] = b.quantity;
  ints[2] = b.unit_code;
  ints[39] = 1989, ints[40] = 291, ints[41] = 10, ints[42] = 18, ints[43] = 0, ints[44] = 4;
  ints[53] = b.azimuth;
  s += " 100 Integer-header values follow on  10 lines, Format= (10I8)" + eol;
  s += lines_of_values(ints, 10, eol, [](long long n) {
    char t[16];
    std::snprintf(t, sizeof t, "%8lld", n);
    return std::string(t);
  });
  std::vector<double> reals(100, -999.0);
  reals[29] = b.second;
  reals[33] = 0.01;  // not the interval
  reals[61] = b.ms;
  s += std::string(" 100 Real-header values follow on  ") + (b.six ? "17" : "20") +
       " lines, Format= " + (b.six ? "(6F13.6)" : "(5F15.6)") + eol;
  for (size_t i = 0; i < reals.size(); ++i) {
    char t[32];
    std::snprintf(t, sizeof t, b.six ? "%13.6f" : "%15.6f", reals[i]);
    s += t;
    if ((i + 1) % (b.six ? 6 : 5) == 0 || i + 1 == reals.size()) s += eol;
  }
  s += "   2 Comment line(s) follow, each starting with a \"|\":" + eol;
  s += "| Made by the tests from the real values" + eol;
  s += (b.code.empty() || !b.code_in_comment ? "| no channel code" : "|<SCNL>SAF." + b.code + ".NC.--") + eol;
  char line[160];
  std::snprintf(line, sizeof line, "%8lld %s pts, approx   6 secs, units=g (%02d),Format=%s",
                b.npts < 0 ? static_cast<long long>(v.size()) : b.npts, what, b.unit_code, b.data_format);
  s += line + eol;
  s += lines_of_values(v, b.per_line, eol, [&b](long long n) { return fmt(b.value_format, n); });
  s += "End-of-data for Chan " + (b.code.empty() || !b.code_at_end ? std::string("1") : b.code) + " " + what + eol;
  return s;
}

// K-NET: counts with the scale factor 1(gal)/100000, so that the values in
// gal are the same numbers as the samples in g elsewhere.
inline std::string knet(const std::vector<long long>& v, const std::string& dir,
                        const char* record_time = "1989/10/18 00:04:00") {
  std::string s =
      "Origin Time       1989/10/18 00:04:00\nLat.              37.037\nLong.             -121.883\n"
      "Depth. (km)       18\nMag.              6.9\nStation Code      SAF000\nStation Lat.      37.728\n"
      "Station Long.     -122.385\nStation Height(m) 10\n";
  s += std::string("Record Time       ") + record_time + "\n";
  s += "Sampling Freq(Hz) 200Hz\nDuration Time(s)  6\nDir.              " + dir + "\n";
  s += "Scale Factor      1(gal)/100000\nMax. Acc. (gal)   0.1\nLast Correction   1989/10/18 00:04:00\nMemo.\n";
  return s + lines_of_values(v, 8, "\n", [](long long n) {
           char t[16];
           std::snprintf(t, sizeof t, "%9lld", n);
           return std::string(t);
         });
}

}  // namespace importtest
