// The full sweep at capacity: 33000 samples, 300 periods, 3 components.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "spectrum/sweep.h"

namespace {

constexpr int kCap = spectrum::kCapacity;

// A deterministic record of ground accelerations in roughly +-500.
struct Record {
  std::vector<float> d1, d2, d3, acc, vel, dis;
  Record() : d1(kCap), d2(kCap), d3(kCap), acc(kCap), vel(kCap), dis(kCap) {
    std::uint32_t s = 12345u;
    auto next = [&s] {
      s = s * 1664525u + 1013904223u;
      return (float)((double)(s >> 8) / 16777216.0 * 1000.0 - 500.0);
    };
    for (int i = 0; i < kCap; ++i) {
      d1[i] = next();
      d2[i] = next();
      d3[i] = next();
    }
  }
};

void keep_row(const float (&row)[spectrum::kRowLength], void* ctx) {
  float* sum = static_cast<float*>(ctx);
  for (float v : row) *sum += v;
}

// One oscillator step per sample after the first, per component and period;
// the inverted rate of steps*1e-9 reads as nanoseconds per step.
void set_step_counter(benchmark::State& state) {
  const double steps = 3.0 * spectrum::kPeriods * (kCap - 1);
  state.counters["ns_per_step"] = benchmark::Counter(
      steps * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SweepPlain(benchmark::State& state) {
  Record r;
  float sum = 0.0f;
  for (auto _ : state) {
    sweep(0.05f, 0.01f, kCap, r.d1.data(), r.d2.data(), r.d3.data(), r.acc.data(), r.vel.data(),
          r.dis.data(), keep_row, &sum);
    benchmark::DoNotOptimize(sum);
  }
  set_step_counter(state);
}
BENCHMARK(BM_SweepPlain)->Unit(benchmark::kMillisecond);

void BM_SweepFast(benchmark::State& state, spectrum::sweep_path path) {
  if (!spectrum::sweep_path_supported(path)) {
    state.SkipWithError("path not supported on this CPU");
    return;
  }
  Record r;
  float sum = 0.0f;
  for (auto _ : state) {
    sweep_fast(0.05f, 0.01f, kCap, r.d1.data(), r.d2.data(), r.d3.data(), r.acc.data(),
               r.vel.data(), r.dis.data(), keep_row, &sum, path);
    benchmark::DoNotOptimize(sum);
  }
  set_step_counter(state);
}
BENCHMARK_CAPTURE(BM_SweepFast, sse2, spectrum::sweep_path::sse2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SweepFast, avx, spectrum::sweep_path::avx)->Unit(benchmark::kMillisecond);

}  // namespace
