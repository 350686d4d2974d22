// The response integrator and the period sweep: reference values, an
// independent integration, the degenerate record lengths and the peak rule.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "spectrum/resp.h"
#include "spectrum/sweep.h"

namespace {

using Row = std::array<float, spectrum::kRowLength>;
constexpr int kCap = spectrum::kCapacity;

struct Work {
  std::vector<float> acc = std::vector<float>(kCap);
  std::vector<float> vel = std::vector<float>(kCap);
  std::vector<float> dis = std::vector<float>(kCap);
};

struct Peaks {
  float sa, sv, sd;
};

Peaks run_resp(float h, float w, float dt, int nn, const std::vector<float>& ddy, Work& wk) {
  Peaks p{-1, -1, -1};
  resp(h, w, dt, nn, ddy.data(), wk.acc.data(), wk.vel.data(), wk.dis.data(), kCap, p.sa, p.sv,
       p.sd);
  return p;
}

void collect(const float (&row)[spectrum::kRowLength], void* ctx) {
  auto* rows = static_cast<std::vector<Row>*>(ctx);
  Row r;
  std::memcpy(r.data(), row, sizeof r);
  rows->push_back(r);
}

std::vector<Row> run_sweep(float h, float dt, int nn, const std::vector<float>& d1,
                           const std::vector<float>& d2, const std::vector<float>& d3) {
  Work wk;
  std::vector<Row> rows;
  sweep(h, dt, nn, d1.data(), d2.data(), d3.data(), wk.acc.data(), wk.vel.data(), wk.dis.data(),
        collect, &rows);
  return rows;
}

std::uint32_t bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

// Agreement with a quoted reference to within half a unit of its last digit.
void expect_quoted(float value, double quoted, int decimals, const char* what) {
  const double half = 0.5 * std::pow(10.0, -decimals);
  EXPECT_LE(std::fabs((double)value - quoted), half) << what << " = " << value;
}

// A row rendered as fixed-point fields: the period 8 wide with 4 decimals,
// then nine times a comma and a field 8 wide with 2 decimals.
std::string render(const Row& r) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%#8.4f", (double)r[0]);
  std::string s = buf;
  for (int i = 1; i < spectrum::kRowLength; ++i) {
    std::snprintf(buf, sizeof buf, ",%#8.2f", (double)r[i]);
    s += buf;
  }
  return s;
}

std::vector<float> impulse_record() {
  std::vector<float> d(kCap, 0.0f);
  d[0] = 1000.0f;
  return d;
}

std::vector<float> decaying_sine() {
  std::vector<float> d(kCap, 0.0f);
  const double pi = 3.14159265358979323846;
  for (int i = 0; i < 300; ++i) {
    const double t = i * 0.01;
    d[i] = (float)(100.0 * std::sin(2.0 * pi * 1.3 * t) * std::exp(-0.3 * t));
  }
  return d;
}

std::vector<float> random_record(unsigned seed, int n, float scale) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> u(-scale, scale);
  std::vector<float> d(kCap, 0.0f);
  for (int i = 0; i < n; ++i) d[i] = u(gen);
  return d;
}

TEST(Resp, ImpulseRecordAtOneSecond) {
  Work wk;
  const Peaks p = run_resp(0.05f, 6.283185f, 0.01f, 3000, impulse_record(), wk);
  expect_quoted(p.sa, 87.759, 3, "sa");
  expect_quoted(p.sv, 14.892, 3, "sv");
  expect_quoted(p.sd, 2.2116, 4, "sd");
}

TEST(Resp, DecayingSineAtHalfSecond) {
  Work wk;
  const float w = (float)((double)6.283185f / 0.5);
  const Peaks p = run_resp(0.05f, w, 0.01f, 300, decaying_sine(), wk);
  expect_quoted(p.sa, 215.57, 2, "sa");
  expect_quoted(p.sv, 12.661, 3, "sv");
  expect_quoted(p.sd, 1.3604, 4, "sd");
}

// x'' + 2 h w x' + w^2 x = -g(t), g linear between samples, integrated by
// classical Runge-Kutta in double with many sub-steps per interval, from the
// same starting state as the integrator.
std::vector<double> rk4_displacement(double h, double w, double dt, int nn,
                                     const std::vector<float>& ddy, double x0, double v0) {
  const int sub = 200;
  const double step = dt / sub;
  std::vector<double> out(nn);
  double x = x0, v = v0;
  out[0] = x;
  for (int m = 1; m < nn; ++m) {
    const double g0 = ddy[m - 1], g1 = ddy[m];
    auto acc = [&](double s, double xx, double vv) {
      const double g = g0 + (g1 - g0) * (s / dt);
      return -2.0 * h * w * vv - w * w * xx - g;
    };
    for (int k = 0; k < sub; ++k) {
      const double s = k * step;
      const double k1x = v, k1v = acc(s, x, v);
      const double k2x = v + 0.5 * step * k1v, k2v = acc(s + 0.5 * step, x + 0.5 * step * k1x, k2x);
      const double k3x = v + 0.5 * step * k2v, k3v = acc(s + 0.5 * step, x + 0.5 * step * k2x, k3x);
      const double k4x = v + step * k3v, k4v = acc(s + step, x + step * k3x, k4x);
      x += step / 6.0 * (k1x + 2 * k2x + 2 * k3x + k4x);
      v += step / 6.0 * (k1v + 2 * k2v + 2 * k3v + k4v);
    }
    out[m] = x;
  }
  return out;
}

TEST(Resp, DisplacementMatchesFineIntegration) {
  Work wk;
  const float h = 0.05f, dt = 0.01f;
  const float w = (float)((double)6.283185f / 0.5);
  const int nn = 300;
  const std::vector<float> ddy = decaying_sine();
  const Peaks p = run_resp(h, w, dt, nn, ddy, wk);
  const std::vector<double> ref = rk4_displacement(h, w, dt, nn, ddy, 0.0, wk.vel[0]);
  double worst = 0.0;
  for (int m = 0; m < nn; ++m) worst = std::max(worst, std::fabs(wk.dis[m] - ref[m]));
  EXPECT_LT(worst, 1e-6 * p.sd) << "worst difference " << worst << " against peak " << p.sd;
}

TEST(Resp, ShortRecordsWriteOnlyTheStartingState) {
  const float h = 0.05f, w = 6.283185f, dt = 0.01f;
  std::vector<float> ddy(kCap, 0.0f);
  ddy[0] = 3.0f;
  ddy[1] = 7.0f;
  for (int nn : {1, 0, -4}) {
    Work wk;
    wk.acc[1] = wk.vel[1] = wk.dis[1] = 42.0f;
    wk.dis[0] = 42.0f;
    const Peaks p = run_resp(h, w, dt, nn, ddy, wk);
    EXPECT_EQ(bits(p.sa), 0u) << nn;
    EXPECT_EQ(bits(p.sv), 0u) << nn;
    EXPECT_EQ(bits(p.sd), 0u) << nn;
    EXPECT_EQ(wk.acc[0], (float)(((double)h + h) * w * 3.0 * dt)) << nn;
    EXPECT_EQ(wk.vel[0], (float)(-(3.0 * dt))) << nn;
    EXPECT_EQ(wk.dis[0], 0.0f) << nn;
    EXPECT_EQ(wk.acc[1], 42.0f) << nn;
    EXPECT_EQ(wk.vel[1], 42.0f) << nn;
    EXPECT_EQ(wk.dis[1], 42.0f) << nn;
  }
}

TEST(Resp, ZeroRecordGivesZeroHistoriesAndPositiveZeroPeaks) {
  Work wk;
  std::fill(wk.acc.begin(), wk.acc.end(), 1.0f);
  const Peaks p = run_resp(0.05f, 6.283185f, 0.01f, 1000, std::vector<float>(kCap, 0.0f), wk);
  for (int m = 0; m < 1000; ++m) {
    ASSERT_EQ(wk.acc[m], 0.0f) << m;
    ASSERT_EQ(wk.vel[m], 0.0f) << m;
    ASSERT_EQ(wk.dis[m], 0.0f) << m;
  }
  // Equal magnitudes leave the peak alone, so the peaks keep their +0 start.
  EXPECT_EQ(bits(p.sa), 0u);
  EXPECT_EQ(bits(p.sv), 0u);
  EXPECT_EQ(bits(p.sd), 0u);
}

TEST(Resp, PeaksCoverSamplesTwoOnwardAndMatchTheHistories) {
  Work wk;
  const std::vector<float> ddy = random_record(7, 2000, 300.0f);
  const Peaks p = run_resp(0.05f, 20.0f, 0.01f, 2000, ddy, wk);
  float a = 0, v = 0, d = 0;
  for (int m = 1; m < 2000; ++m) {
    a = std::max(a, std::fabs(wk.acc[m]));
    v = std::max(v, std::fabs(wk.vel[m]));
    d = std::max(d, std::fabs(wk.dis[m]));
  }
  EXPECT_EQ(p.sa, a);
  EXPECT_EQ(p.sv, v);
  EXPECT_EQ(p.sd, d);

  // A stiff, heavily damped oscillator forgets the starting impulse within
  // one step, so the first-sample values are the largest of the histories
  // and must not enter the peaks.
  std::vector<float> kick(kCap, 0.0f);
  kick[0] = 100000.0f;
  const Peaks q = run_resp(0.5f, 2000.0f, 0.01f, 3, kick, wk);
  EXPECT_LT(q.sa, std::fabs(wk.acc[0]));
  EXPECT_LT(q.sv, std::fabs(wk.vel[0]));
  EXPECT_EQ(q.sa, std::max(std::fabs(wk.acc[1]), std::fabs(wk.acc[2])));
  EXPECT_EQ(q.sv, std::max(std::fabs(wk.vel[1]), std::fabs(wk.vel[2])));
}

TEST(Resp, NotANumberTakesThePeak) {
  Work wk;
  std::vector<float> ddy = random_record(11, 500, 100.0f);
  ddy[499] = std::numeric_limits<float>::quiet_NaN();
  // Only the last step sees the NaN; a max that skips NaNs would keep the
  // finite peaks of the earlier steps.
  const Peaks p = run_resp(0.05f, 6.283185f, 0.01f, 500, ddy, wk);
  EXPECT_TRUE(std::isnan(p.sa));
  EXPECT_TRUE(std::isnan(p.sv));
  EXPECT_TRUE(std::isnan(p.sd));
  EXPECT_FALSE(std::isnan(wk.dis[498]));

  // Critical damping makes every coefficient NaN.
  const Peaks c = run_resp(1.0f, 6.283185f, 0.01f, 10, random_record(3, 10, 1.0f), wk);
  EXPECT_TRUE(std::isnan(c.sa));
  EXPECT_TRUE(std::isnan(c.sv));
  EXPECT_TRUE(std::isnan(c.sd));
}

TEST(Sweep, ImpulseRecordRowsRender) {
  const std::vector<float> d = impulse_record();
  const std::vector<Row> rows = run_sweep(0.05f, 0.01f, 3000, d, d, d);
  ASSERT_EQ(rows.size(), 300u);
  EXPECT_EQ(render(rows[0]),
            "  0.0500, 1618.56, 1618.56, 1618.56,   10.63,   10.63,   10.63,    0.10,    0.10,    0.10");
  EXPECT_EQ(render(rows[19]),
            "  1.0000,   87.76,   87.76,   87.76,   14.89,   14.89,   14.89,    2.21,    2.21,    2.21");
  EXPECT_EQ(render(rows[299]),
            " 15.0000,    5.85,    5.85,    5.85,   15.00,   15.00,   15.00,   33.20,   33.20,   33.20");
  expect_quoted(rows[0][1], 1618.56, 2, "sa row 1");
  expect_quoted(rows[0][4], 10.627, 3, "sv row 1");
  expect_quoted(rows[0][7], 0.098216, 6, "sd row 1");
  expect_quoted(rows[19][1], 87.759, 3, "sa row 20");
  expect_quoted(rows[19][4], 14.892, 3, "sv row 20");
  expect_quoted(rows[19][7], 2.2116, 4, "sd row 20");
  expect_quoted(rows[299][1], 5.8546, 4, "sa row 300");
  expect_quoted(rows[299][4], 15.002, 3, "sv row 300");
  expect_quoted(rows[299][7], 33.201, 3, "sd row 300");
}

TEST(Sweep, ThreeHundredPeriodsInOrder) {
  const std::vector<float> zero(kCap, 0.0f);
  for (int nn : {0, 1}) {
    const std::vector<float> d = random_record(5, 10, 50.0f);
    const std::vector<Row> rows = run_sweep(0.05f, 0.01f, nn, d, d, zero);
    ASSERT_EQ(rows.size(), 300u);
    for (int j = 1; j <= 300; ++j) {
      const Row& r = rows[j - 1];
      EXPECT_EQ(r[0], (float)(j * (double)0.05f)) << j;
      for (int i = 1; i < spectrum::kRowLength; ++i) EXPECT_EQ(bits(r[i]), 0u) << j << "," << i;
    }
    EXPECT_EQ(render(rows[0]).substr(0, 8), "  0.0500");
    EXPECT_EQ(render(rows[299]).substr(0, 8), " 15.0000");
    EXPECT_EQ(rows[299][0], 15.0f);
  }
}

TEST(Sweep, RowsFollowTheComponents) {
  const int nn = 1500;
  const std::vector<float> a = random_record(21, nn, 200.0f);
  const std::vector<float> b = random_record(22, nn, 200.0f);
  const std::vector<float> c = random_record(23, nn, 200.0f);

  // Identical components give pairwise equal columns.
  const std::vector<Row> same = run_sweep(0.05f, 0.01f, nn, a, a, a);
  for (const Row& r : same)
    for (int q = 0; q < 3; ++q) {
      EXPECT_EQ(bits(r[1 + 3 * q]), bits(r[2 + 3 * q]));
      EXPECT_EQ(bits(r[1 + 3 * q]), bits(r[3 + 3 * q]));
    }

  // Exchanging components 1 and 3 exchanges their columns in every quantity.
  const std::vector<Row> abc = run_sweep(0.05f, 0.01f, nn, a, b, c);
  const std::vector<Row> cba = run_sweep(0.05f, 0.01f, nn, c, b, a);
  ASSERT_EQ(abc.size(), cba.size());
  for (size_t j = 0; j < abc.size(); ++j) {
    EXPECT_EQ(bits(abc[j][0]), bits(cba[j][0]));
    for (int q = 0; q < 3; ++q) {
      EXPECT_EQ(bits(abc[j][1 + 3 * q]), bits(cba[j][3 + 3 * q])) << j;
      EXPECT_EQ(bits(abc[j][2 + 3 * q]), bits(cba[j][2 + 3 * q])) << j;
      EXPECT_EQ(bits(abc[j][3 + 3 * q]), bits(cba[j][1 + 3 * q])) << j;
    }
  }
  // The columns of a row really come from different components.
  EXPECT_NE(abc[10][1], abc[10][2]);
}

}  // namespace
