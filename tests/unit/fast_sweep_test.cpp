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
