// The same samples (the real Loma Prieta values, in g) written in every
// layout the program reads: each import gives the same rows, the values are
// the floats nearest to the written decimals, and the header words name the
// components in the order horizontal, horizontal, vertical.
#include <gtest/gtest.h>

#include <map>

#include "import/import_support.h"

namespace importtest {
namespace {

using files = std::map<std::string, std::string>;

struct imported {
  testsupport::outcome run;
  record rec;
};

imported import_set(const files& in, std::vector<std::string> args) {
  temp_dir dir;
  for (const auto& [name, text] : in) write_file(dir / name, text);
  args.insert(args.begin(), {"-o", "out.dat"});
  imported r{run_import(dir, args), {}};
  r.rec = parse_record(read_file(dir / "out.dat"));
  return r;
}

class Formats : public ::testing::Test {
 protected:
  void SetUp() override {
    s = loma_samples();
    if (s.size() == 0) GTEST_SKIP() << "skipped: " << (kData / "lomap_saf.dat") << " is absent";
  }
  // Imported with --unit g: the written decimals unconverted.
  void expect_samples(const imported& r, const std::string& header, size_t skip = 0) {
    ASSERT_EQ(r.run.status, 0) << r.run.err;
    EXPECT_EQ(r.rec.header, header);
    ASSERT_EQ(r.rec.t.size(), s.size() - skip);
    EXPECT_EQ(r.rec.t[0], 0.0f);
    EXPECT_EQ(r.rec.t[1] - r.rec.t[0], 0.005f);
    for (int k = 0; k < 3; ++k)
      for (size_t i = 0; i < r.rec.t.size(); ++i)
        ASSERT_EQ(r.rec.a[k][i], static_cast<float>(std::strtod(fmt("%.5f", s.c[k][i + skip]).c_str(), nullptr)))
            << "column " << k + 1 << " row " << i + 1;
  }
  samples s;
};

TEST_F(Formats, EveryLayoutGivesTheSameRecord) {
  const std::string names[3] = {"360", "270", "UP"};
  std::vector<imported> at2s;
  for (int variant = 0; variant < 3; ++variant) {
    files in;
    for (int k = 0; k < 3; ++k) in["c" + std::to_string(k) + ".at2"] = at2(s.c[k], names[k], variant);
    // The vertical first on the command line: still the last column.
    at2s.push_back(import_set(in, {"--unit", "g", "c2.at2", "c0.at2", "c1.at2"}));
    SCOPED_TRACE("AT2 variant " + std::to_string(variant));
    expect_samples(at2s.back(), "time(s) H360(g) H270(g) UP(g)");
  }
  const std::string& rows = at2s[0].rec.rows;

  // COSMOS, one channel a file, (1E15.6), real header 5F15.6; HNE's code
  // only on its End-of-data line.
  const char* codes[3] = {"HNN", "HNE", "HNZ"};
  const int azimuths[3] = {360, 270, 400};
  files single;
  for (int k = 0; k < 3; ++k) {
    cosmos_block b;
    b.code = codes[k];
    b.code_in_comment = k != 1;
    b.azimuth = azimuths[k];
    single[std::string(codes[k]) + ".v2"] = cosmos(b, s.c[k]);
  }
  imported c1 = import_set(single, {"--unit", "g", "HNN.v2", "HNE.v2", "HNZ.v2"});
  expect_samples(c1, "time(s) HNN(g) HNE(g) HNZ(g)");
  EXPECT_TRUE(c1.rec.rows == rows) << "rows differ";

  // COSMOS, all channels in one file, each acceleration block followed by
  // its velocity and displacement blocks: (8f9.6) with a 6F13.6 real header,
  // CR LF and the channel code in a comment only; (10F8.5), values run
  // together, azimuths only.
  for (int variant = 0; variant < 2; ++variant) {
    std::string text;
    for (int k = 0; k < 3; ++k) {
      cosmos_block b;
      b.azimuth = azimuths[k];
      if (variant == 0) {
        b.code = codes[k];
        b.code_at_end = false;  // the code only in the <SCNL> comment
        b.data_format = "(8f9.6)", b.per_line = 8, b.value_format = "%9.6f", b.six = true;
      } else {
        b.data_format = "(10F8.5)", b.per_line = 10, b.value_format = "%8.5f";
      }
      const std::string eol = variant == 0 ? "\r\n" : "\n";
      text += cosmos(b, s.c[k], eol);
      for (int q : {2, 3}) {
        cosmos_block other = b;
        other.quantity = q;
        other.unit_code = q == 2 ? 5 : 6;
        text += cosmos(other, std::vector<long long>(s.c[k].begin(), s.c[k].begin() + 50), eol);
      }
    }
    SCOPED_TRACE("COSMOS multi-channel variant " + std::to_string(variant));
    imported c = import_set({{"all.v2", text}}, {"--unit", "g", "all.v2"});
    expect_samples(c, variant == 0 ? "time(s) HNN(g) HNE(g) HNZ(g)" : "time(s) H360(g) H270(g) UP(g)");
    EXPECT_TRUE(c.rec.rows == rows) << "rows differ";
  }

  // K-NET with the scale factor 1(gal)/100000: the same numbers, in gal.
  // (g and gal cannot both be written as the same short decimals, so the
  // formats in gal are held to the numbers of the formats in g.)
  files kn;
  const char* dirs[3] = {"N-S", "E-W", "U-D"};
  for (int k = 0; k < 3; ++k) kn[std::string(dirs[k]) + ".knet"] = knet(s.c[k], dirs[k]);
  imported k = import_set(kn, {"U-D.knet", "N-S.knet", "E-W.knet"});
  expect_samples(k, "time(s) NS(gal) EW(gal) UD(gal)");
  EXPECT_TRUE(k.rec.rows == rows) << "rows differ";

  // SMC, in cm/s² too: the same numbers, fields run together.
  files sm;
  for (int k = 0; k < 3; ++k) sm["c" + std::to_string(k) + ".smc"] = smc(s.c[k], names[k]);
  imported m = import_set(sm, {"c0.smc", "c1.smc", "c2.smc"});
  expect_samples(m, "time(s) H360(gal) H270(gal) UP(gal)");
  EXPECT_TRUE(m.rec.rows == rows) << "rows differ";
}

// The unit: g times 980.665 gives gal, gal over 100 m/s²; header words say which.
TEST_F(Formats, UnitConversion) {
  files in;
  const std::string names[3] = {"360", "270", "UP"};
  for (int k = 0; k < 3; ++k) in["c" + std::to_string(k) + ".at2"] = at2(s.c[k], names[k], 0);
  imported gal = import_set(in, {"c0.at2", "c1.at2", "c2.at2"});
  imported ms2 = import_set(in, {"--unit", "m/s2", "c0.at2", "c1.at2", "c2.at2"});
  ASSERT_EQ(gal.run.status, 0) << gal.run.err;
  ASSERT_EQ(ms2.run.status, 0) << ms2.run.err;
  EXPECT_EQ(gal.rec.header, "time(s) H360(gal) H270(gal) UP(gal)");
  EXPECT_EQ(ms2.rec.header, "time(s) H360(ms-2) H270(ms-2) UP(ms-2)");
  for (int k = 0; k < 3; ++k)
    for (size_t i = 0; i < s.size(); ++i) {
      double g = std::strtod(fmt("%.5f", s.c[k][i]).c_str(), nullptr);
      ASSERT_EQ(gal.rec.a[k][i], static_cast<float>(g * 980.665)) << i;
      ASSERT_EQ(ms2.rec.a[k][i], static_cast<float>(g * 980.665 / 100.0)) << i;
    }
  // COSMOS in mg (unit code 11), written in g.
  files mg;
  const int azimuths[3] = {360, 270, 400};
  for (int k = 0; k < 3; ++k) {
    cosmos_block b;
    b.unit_code = 11;
    b.azimuth = azimuths[k];
    mg["c" + std::to_string(k) + ".v2"] = cosmos(b, s.c[k]);
  }
  imported in_g = import_set(mg, {"--unit", "g", "c0.v2", "c1.v2", "c2.v2"});
  ASSERT_EQ(in_g.run.status, 0) << in_g.run.err;
  for (int k = 0; k < 3; ++k)
    for (size_t i = 0; i < s.size(); ++i) {
      double milli = std::strtod(fmt("%.5f", s.c[k][i]).c_str(), nullptr);
      ASSERT_EQ(in_g.rec.a[k][i], static_cast<float>(milli * 0.980665 / 980.665)) << i;
    }
}

// Start times: a channel that starts two samples later (and lacks those two)
// is aligned and the record is the common part; K-NET record times likewise.
TEST_F(Formats, ComponentsAlignedOnStartTimes) {
  files in;
  const char* codes[3] = {"HNN", "HNE", "HNZ"};
  const int azimuths[3] = {360, 270, 400};
  for (int k = 0; k < 3; ++k) {
    cosmos_block b;
    b.code = codes[k];
    b.azimuth = azimuths[k];
    std::vector<long long> v = s.c[k];
    if (k == 1) {
      b.second = 0.010;
      v.erase(v.begin(), v.begin() + 2);
    }
    in[std::string(codes[k]) + ".v1"] = cosmos(b, v);
  }
  imported r = import_set(in, {"--unit", "g", "HNN.v1", "HNE.v1", "HNZ.v1"});
  EXPECT_EQ(r.run.err,
            "rspec-import: HNN.v1: HNN: left out 2 samples before the common start\n"
            "rspec-import: HNZ.v1: HNZ: left out 2 samples before the common start\n");
  expect_samples(r, "time(s) HNN(g) HNE(g) HNZ(g)", 2);

  // SMC start times are year, day of the year, hour, minute, second and
  // millisecond: 1989 day 292 00:00:00.000 is 10 ms (two samples) after
  // day 291 23:59:59.990.
  files sm;
  const char* names[3] = {"360", "270", "UP"};
  for (int k = 0; k < 3; ++k) {
    std::vector<long long> v = s.c[k];
    if (k == 0) v.erase(v.begin(), v.begin() + 2);
    std::string t = smc(v, names[k]);
    const size_t line12 = t.find("\n    -32768      1989") + 1;
    const long long start[6] = {291, 23, 59, 59, 990};
    const long long later[6] = {292, 0, 0, 0, 0};
    for (int i = 0; i < 5; ++i) {
      char field[16];
      std::snprintf(field, sizeof field, "%10lld", k == 0 ? later[i] : start[i]);
      t.replace(line12 + 10 * (i + 2), 10, field);
    }
    sm["c" + std::to_string(k) + ".smc"] = t;
  }
  imported m = import_set(sm, {"c0.smc", "c1.smc", "c2.smc"});
  ASSERT_EQ(m.run.status, 0) << m.run.err;
  ASSERT_EQ(m.rec.t.size(), s.size() - 2);
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(m.rec.a[k][0], static_cast<float>(std::strtod(fmt("%.4E", s.c[k][2]).c_str(), nullptr))) << k;

  files kn;
  const char* dirs[3] = {"N-S", "E-W", "U-D"};
  for (int k = 0; k < 3; ++k) {
    std::vector<long long> v = s.c[k];
    if (k == 2) v.erase(v.begin(), v.begin() + 200);  // one second later
    kn[std::string(dirs[k]) + ".knet"] = knet(v, dirs[k], k == 2 ? "1989/10/18 00:04:01" : "1989/10/18 00:04:00");
  }
  imported k = import_set(kn, {"N-S.knet", "E-W.knet", "U-D.knet"});
  ASSERT_EQ(k.run.status, 0) << k.run.err;
  ASSERT_EQ(k.rec.t.size(), s.size() - 200);
  EXPECT_EQ(k.rec.a[0][0], static_cast<float>(std::strtod(fmt("%.5f", s.c[0][200]).c_str(), nullptr)));
  // The vertical's counts no longer sum to zero: it loses their mean, so its
  // values sum to about zero and keep the counts' differences.
  const std::vector<long long> up(s.c[2].begin() + 200, s.c[2].end());
  double sum = 0;
  for (size_t i = 0; i < up.size(); ++i) {
    sum += k.rec.a[2][i];
    ASSERT_NEAR(k.rec.a[2][i] - k.rec.a[2][0], (up[i] - up[0]) / 1e5, 1e-7) << i;
  }
  long long counts = 0;
  for (long long c : up) counts += c;
  ASSERT_NE(counts, 0);
  EXPECT_NEAR(sum / up.size(), 0.0, 1e-8);
}

}  // namespace
}  // namespace importtest
