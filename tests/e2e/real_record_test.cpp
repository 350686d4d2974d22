// The program on a real three-component record (1989 Loma Prieta, San
// Francisco, 200 samples a second), kept outside the project in
// ../shared/data; the test skips, saying so, where it is absent.
//
// The table is checked against one computed here by another road: the rows
// parsed with sscanf, the plain oscillator routine for every period and
// component, and the fields printed with printf. It is also checked against
// what is known of the record: the peak accelerations its README gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <vector>

#include "spectrum/resp.h"
#include "spectrum/sweep.h"
#include "support/process.h"

namespace {

const std::filesystem::path kRecord = RSPEC_SOURCE_DIR "/../shared/data/lomap_saf.dat";

struct samples {
  std::vector<float> t, a[3];
};

// Four numbers a line after the header line, each read as a double and
// rounded to float.
samples parse(const std::string& text) {
  samples s;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    double v[4];
    if (std::sscanf(line.c_str(), "%lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3]) != 4) break;
    s.t.push_back(static_cast<float>(v[0]));
    for (int c = 0; c < 3; ++c) s.a[c].push_back(static_cast<float>(v[c + 1]));
  }
  return s;
}

using testsupport::lines_of;

TEST(RealRecord, TableMatchesAnIndependentComputation) {
  if (!std::filesystem::exists(kRecord))
    GTEST_SKIP() << "no real record at " << kRecord << "; this case needs ../shared/data";
  testsupport::temp_dir dir;
  std::filesystem::copy_file(kRecord, dir / "lomap.dat");
  testsupport::run_options o;
  o.cwd = dir.path();
  const testsupport::outcome r =
      testsupport::run({RSPEC_PROGRAM}, "lomap.dat\n0.05\ntable.csv\n", o);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find(" nn and DT= 6001  0.00499999989\n"), std::string::npos) << r.out;

  const samples s = parse(testsupport::read_file(kRecord));
  ASSERT_EQ(s.t.size(), 6001u);
  const int nn = static_cast<int>(s.t.size());
  const float dt = static_cast<float>(static_cast<double>(s.t[1]) - s.t[0]);
  const float h = 0.05f;

  const std::vector<std::string> got = lines_of(testsupport::read_file(dir / "table.csv"));
  ASSERT_EQ(got.size(), 301u);
  EXPECT_EQ(got[0],
            " period(s), acc 1, acc 2, acc 3, vel 1, vel 2, vel 3, dis 1, dis 2, dis 3");

  std::vector<float> acc(nn), vel(nn), dis(nn);
  float first_sa[3] = {0, 0, 0};
  for (int j = 1; j <= spectrum::kPeriods; ++j) {
    const float period = spectrum::sweep_period(j);
    const float w = spectrum::sweep_omega(period);
    float sa[3], sv[3], sd[3];
    for (int c = 0; c < 3; ++c)
      resp(h, w, dt, nn, s.a[c].data(), acc.data(), vel.data(), dis.data(), nn, sa[c], sv[c], sd[c]);
    if (j == 1) std::copy(sa, sa + 3, first_sa);
    char want[128];
    int k = std::snprintf(want, sizeof want, "%8.4f", period);
    for (const float* q : {sa, sv, sd})
      for (int c = 0; c < 3; ++c) k += std::snprintf(want + k, sizeof want - k, ",%8.2f", q[c]);
    ASSERT_EQ(got[j], want) << "period " << j;
  }

  // At 0.05 s the oscillator is stiff enough to follow the ground: its
  // absolute acceleration is near the ground's peak, which the record's
  // README gives as 104.41, 70.437 and 48.347 cm/s2.
  const double pga[3] = {104.41, 70.437, 48.347};
  for (int c = 0; c < 3; ++c) {
    float peak = 0;
    for (float v : s.a[c]) peak = std::max(peak, std::fabs(v));
    EXPECT_NEAR(peak, pga[c], 0.001) << "component " << c + 1;
    EXPECT_GT(first_sa[c], 0.9 * pga[c]) << "component " << c + 1;
    EXPECT_LT(first_sa[c], 1.5 * pga[c]) << "component " << c + 1;
  }
}

}  // namespace
