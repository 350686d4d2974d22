// Every vector path of the fast sweep against three resp calls, bit for bit.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "spectrum/resp.h"
#include "spectrum/sweep.h"

namespace {

using spectrum::sweep_path;
constexpr int kCap = spectrum::kCapacity;

const char* name(sweep_path p) {
  return p == sweep_path::plain ? "plain" : p == sweep_path::sse2 ? "sse2" : "avx";
}

// Samples of every kind: ordinary, zeros of both signs, subnormals, huge
// values, infinities and NaNs (either sign), in proportions set by `wild`.
std::vector<float> record(std::mt19937& gen, double wild) {
  std::vector<float> d(kCap);
  std::uniform_real_distribution<float> u(-500.0f, 500.0f);
  std::uniform_real_distribution<double> pick(0.0, 1.0);
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float sub = std::numeric_limits<float>::denorm_min();
  for (float& v : d) {
    const double p = pick(gen);
    if (p >= wild) { v = u(gen); continue; }
    switch (gen() % 8) {
      case 0: v = 0.0f; break;
      case 1: v = -0.0f; break;
      case 2: v = sub * (float)(gen() % 1000); break;
      case 3: v = 3.0e38f * (gen() % 2 ? 1.0f : -1.0f); break;
      case 4: v = gen() % 2 ? inf : -inf; break;
      case 5: v = gen() % 2 ? nan : -nan; break;
      case 6: v = u(gen) * 1e-30f; break;
      default: v = 0.0f; break;
    }
  }
  return d;
}


TEST(FastSweep, EveryPathMatchesRespBitForBit) {
  std::mt19937 gen(2024);
  std::vector<float> acc(kCap), vel(kCap), dis(kCap);
  const float hs[] = {0.0f, 0.05f, 0.999f, 1.0f, 1.5f};
  const float dts[] = {0.01f, 0.0f, 1e-30f, 0.005f};
  const int nns[] = {0, 1, 2, 3, 37, kCap};
  const double wilds[] = {0.0, 0.01, 0.3};
  int compared = 0;
  for (sweep_path path : {sweep_path::sse2, sweep_path::avx}) {
    if (!spectrum::sweep_path_supported(path)) {
      std::printf("path %s not supported on this CPU, not compared\n", name(path));
      continue;
    }
    for (double wild : wilds)
      for (int nn : nns) {
        const std::vector<float> d1 = record(gen, wild), d2 = record(gen, wild),
                                 d3 = record(gen, wild);
        for (float h : hs)
          for (float dt : dts) {
            // Long records only at a few settings, to keep the test quick.
            if (nn == kCap && !(dt == 0.01f && (h == 0.05f || h == 1.5f))) continue;
            std::uniform_real_distribution<float> lw(-3.0f, 3.0f);
            const float w = std::pow(10.0f, lw(gen));
            float want[9], got[9];
            resp(h, w, dt, nn, d1.data(), acc.data(), vel.data(), dis.data(), kCap, want[0],
                 want[3], want[6]);
            resp(h, w, dt, nn, d2.data(), acc.data(), vel.data(), dis.data(), kCap, want[1],
                 want[4], want[7]);
            resp(h, w, dt, nn, d3.data(), acc.data(), vel.data(), dis.data(), kCap, want[2],
                 want[5], want[8]);
            std::memset(got, 0xA5, sizeof got);
            spectrum::resp3(path, h, w, dt, nn, d1.data(), d2.data(), d3.data(), acc.data(),
                            vel.data(), dis.data(), got);
            ASSERT_EQ(std::memcmp(want, got, sizeof want), 0)
                << name(path) << " h=" << h << " w=" << w << " dt=" << dt << " nn=" << nn
                << " wild=" << wild << " sa1 " << want[0] << " vs " << got[0];
            ++compared;
          }
      }
  }
  if (compared == 0) GTEST_SKIP() << "no vector path on this CPU";
}

// The NaN cases above are mostly NaN from start to end; this one puts the
// NaN on the last step only, and an infinity that turns into NaN later.
TEST(FastSweep, LateNaNAndInfinityPeaks) {
  std::vector<float> acc(kCap), vel(kCap), dis(kCap);
  std::mt19937 gen(5);
  std::vector<float> d1 = record(gen, 0.0), d2 = d1, d3 = d1;
  d1[999] = std::numeric_limits<float>::quiet_NaN();
  d2[500] = std::numeric_limits<float>::infinity();
  for (sweep_path path : {sweep_path::sse2, sweep_path::avx}) {
    if (!spectrum::sweep_path_supported(path)) continue;
    float want[9], got[9];
    const float h = 0.05f, w = 6.283185f, dt = 0.01f;
    const int nn = 1000;
    resp(h, w, dt, nn, d1.data(), acc.data(), vel.data(), dis.data(), kCap, want[0], want[3],
         want[6]);
    resp(h, w, dt, nn, d2.data(), acc.data(), vel.data(), dis.data(), kCap, want[1], want[4],
         want[7]);
    resp(h, w, dt, nn, d3.data(), acc.data(), vel.data(), dis.data(), kCap, want[2], want[5],
         want[8]);
    spectrum::resp3(path, h, w, dt, nn, d1.data(), d2.data(), d3.data(), acc.data(), vel.data(),
                    dis.data(), got);
    EXPECT_TRUE(std::isnan(want[0]));
    EXPECT_EQ(std::memcmp(want, got, sizeof want), 0) << name(path);
  }
}

// Random records almost never show the order in which a step's four terms
// are summed: the terms are exact products held in double, and the sum's
// double rounding only changes the float result when it lies within a
// double ulp of a float rounding boundary. These records are built to make
// the order show. The last sample of each is chosen so that the step's
// terms nearly cancel: the result is then some 2^-24 of the largest term,
// while a double rounding is 2^-53 of it, so a different order moves the
// float result in a few per cent of the cases. With two or three samples,
// the cancelled value is one the peaks are taken over.
struct step_line {
  float a_dx, a_x, b_now, b_before;  // dx, x, the current and the previous sample
};

step_line line_of(const spectrum::resp_coefs& k, bool position) {
  return position ? step_line{k.a12, k.a11, k.b12, k.b11} : step_line{k.a22, k.a21, k.b22, k.b21};
}

// The sample that makes the line's sum from (dx, x, before) nearly zero,
// moved by `nudge` float steps.
float cancelling(const step_line& l, float dx, float x, float before, int nudge) {
  const double rest = ((double)l.a_dx * dx + (double)l.a_x * x) + (double)l.b_before * before;
  float v = (float)(-rest / l.b_now);
  for (; nudge > 0; --nudge) v = std::nextafter(v, std::numeric_limits<float>::infinity());
  for (; nudge < 0; ++nudge) v = std::nextafter(v, -std::numeric_limits<float>::infinity());
  return v;
}

// Whether another grouping of the four terms gives another float.
bool order_shows(const step_line& l, float dx, float x, float now, float before) {
  const double A = (double)l.a_dx * dx, B = (double)l.a_x * x, C = (double)l.b_now * now,
               D = (double)l.b_before * before;
  const float given = (float)(((A + B) + C) + D);
  return (float)((A + B) + (C + D)) != given || (float)(A + (B + (C + D))) != given ||
         (float)(((A + B) + D) + C) != given || (float)(((A + C) + B) + D) != given;
}

TEST(FastSweep, CancellingStepsMatchRespBitForBit) {
  std::mt19937 gen(31);
  std::uniform_real_distribution<float> lw(-1.0f, 2.0f), amp(1.0f, 1000.0f);
  const float hs[] = {0.02f, 0.05f, 0.2f, 0.7f};
  const float dts[] = {0.01f, 0.005f};
  float acc[3], vel[3], dis[3];
  int trials = 0, sensitive = 0, compared = 0;
  for (int t = 0; t < 4000; ++t) {
    const float h = hs[t % 4], dt = dts[(t / 4) % 2], w = std::pow(10.0f, lw(gen));
    const int nn = 2 + (t / 8) % 2;
    const spectrum::resp_coefs k = spectrum::resp_coefficients(h, w, dt);
    float d[3][3];
    for (int c = 0; c < 3; ++c) {
      const step_line l = line_of(k, (t + c) % 2 == 0);
      const int nudge = (int)(gen() % 5) - 2;
      d[c][0] = amp(gen) * (gen() % 2 ? 1.0f : -1.0f);
      // The starting state: x = 0, dx = -(first sample * dt).
      const float dx1 = (float)(-((double)d[c][0] * dt));
      d[c][1] = cancelling(l, dx1, 0.0f, d[c][0], nudge);
      d[c][2] = 0.0f;
      if (nn == 3) {
        float sa, sv, sd;
        resp(h, w, dt, 2, d[c], acc, vel, dis, 3, sa, sv, sd);
        d[c][2] = cancelling(l, vel[1], dis[1], d[c][1], nudge);
        sensitive += order_shows(l, vel[1], dis[1], d[c][2], d[c][1]);
      } else {
        sensitive += order_shows(l, dx1, 0.0f, d[c][1], d[c][0]);
      }
      ++trials;
    }
    float want[9];
    for (int c = 0; c < 3; ++c) resp(h, w, dt, nn, d[c], acc, vel, dis, 3, want[c], want[3 + c], want[6 + c]);
    for (sweep_path path : {sweep_path::sse2, sweep_path::avx}) {
      if (!spectrum::sweep_path_supported(path)) continue;
      float got[9];
      spectrum::resp3(path, h, w, dt, nn, d[0], d[1], d[2], acc, vel, dis, got);
      ASSERT_EQ(std::memcmp(want, got, sizeof want), 0)
          << name(path) << " trial " << t << " h=" << h << " w=" << w << " dt=" << dt << " nn=" << nn;
      ++compared;
    }
  }
  // The records do tell the orders apart, or this test would prove nothing.
  std::printf("%d of %d cancelling steps give another float in another order\n", sensitive, trials);
  EXPECT_GT(sensitive, 50);
  if (compared == 0) GTEST_SKIP() << "no vector path on this CPU";
}

using Rows = std::vector<std::array<float, spectrum::kRowLength>>;

void collect(const float (&row)[spectrum::kRowLength], void* ctx) {
  std::array<float, spectrum::kRowLength> r;
  std::memcpy(r.data(), row, sizeof row);
  static_cast<Rows*>(ctx)->push_back(r);
}

TEST(FastSweep, WholeTableMatchesThePlainSweep) {
  std::mt19937 gen(77);
  const std::vector<float> d1 = record(gen, 0.0), d2 = record(gen, 0.0), d3 = record(gen, 0.0);
  std::vector<float> acc(kCap), vel(kCap), dis(kCap);
  const int nn = 6000;
  Rows plain, fast;
  sweep(0.05f, 0.01f, nn, d1.data(), d2.data(), d3.data(), acc.data(), vel.data(), dis.data(),
        collect, &plain);
  sweep_fast(0.05f, 0.01f, nn, d1.data(), d2.data(), d3.data(), acc.data(), vel.data(),
             dis.data(), collect, &fast);
  ASSERT_EQ(plain.size(), 300u);
  ASSERT_EQ(fast.size(), 300u);
  EXPECT_EQ(std::memcmp(plain.data(), fast.data(), plain.size() * sizeof plain[0]), 0);
  std::printf("sweep_fast took the %s path\n", name(spectrum::sweep_best_path()));
}

}  // namespace
