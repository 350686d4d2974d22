#include "spectrum/resp.h"
#include "spectrum/sweep.h"

#if defined(__x86_64__) || (defined(__i386__) && defined(__SSE2__))
#define RSPEC_X86_VECTOR 1
#include <immintrin.h>
#else
#define RSPEC_X86_VECTOR 0
#endif

// The vector kernels step the three components of one period side by side.
// Each lane performs exactly the operations of resp's step, in resp's order,
// in double, and rounds to float (cvtpd_ps, then back with cvtps_pd) after
// every assignment, so a lane holds at every point the value resp holds. The
// compiler's own vectorizer is not trusted with this: the intrinsics fix the
// order of every sum.
//
// Magnitudes clear the sign bit, as fabs does, and keep a NaN a NaN.

namespace spectrum {
namespace {

#if RSPEC_X86_VECTOR

inline __m128d round_sse2(__m128d v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); }

// One line of the step, (((p*dx + q*x) + r*ddm) + s*ddf) rounded to float:
// the four terms are summed in resp's order, left to right.
inline __m128d step_sum(__m128d p, __m128d dx, __m128d q, __m128d x, __m128d r, __m128d ddm,
                        __m128d s, __m128d ddf) {
  const __m128d sum = _mm_add_pd(_mm_add_pd(_mm_mul_pd(p, dx), _mm_mul_pd(q, x)), _mm_mul_pd(r, ddm));
  return round_sse2(_mm_add_pd(sum, _mm_mul_pd(s, ddf)));
}

// resp's rule "replace unless peak >= mag" is (peak > mag) ? peak : mag
// whenever equal values have equal bits, and here they do: the peak starts
// at +0 and every magnitude has its sign bit cleared, so no -0 appears.
// That is exactly what maxpd returns for (peak, mag), unordered included:
// with a NaN on either side it returns its second operand, the magnitude.
// One instruction instead of compare, and, andnot, or; the loop is short
// of issue slots, so it shows in the time.
inline __m128d keep_peak(__m128d peak, __m128d mag) { return _mm_max_pd(peak, mag); }

// Components 1 and 2 in the lanes of one register, component 3 in the low
// lane of a second one (its high lane steps a zero record and is dropped).
// The two registers are independent chains that the CPU overlaps.
__attribute__((always_inline)) inline void resp3_pair(const resp_coefs& k, float dt, int nn,
                                                      const float* d1, const float* d2,
                                                      const float* d3, float (&pk)[9]) {
  const __m128d sign = _mm_set1_pd(-0.0);
  const __m128d a11 = _mm_set1_pd(k.a11), a12 = _mm_set1_pd(k.a12);
  const __m128d a21 = _mm_set1_pd(k.a21), a22 = _mm_set1_pd(k.a22);
  const __m128d b11 = _mm_set1_pd(k.b11), b12 = _mm_set1_pd(k.b12);
  const __m128d b21 = _mm_set1_pd(k.b21), b22 = _mm_set1_pd(k.b22);
  const __m128d w2 = _mm_set1_pd(k.w2);
  // hw + hw is exact in double, so it can be formed once.
  const __m128d hw2 = _mm_set1_pd((double)k.hw + (double)k.hw);
  const __m128d vdt = _mm_set1_pd(dt);

  // Starting state: dx = -(ddy(1)*dt) rounded, x = 0.
  __m128d ddfA = _mm_set_pd(d2[0], d1[0]);
  __m128d ddfB = _mm_set_sd(d3[0]);
  __m128d dxA = round_sse2(_mm_xor_pd(_mm_mul_pd(ddfA, vdt), sign));
  __m128d dxB = round_sse2(_mm_xor_pd(_mm_mul_pd(ddfB, vdt), sign));
  __m128d xA = _mm_setzero_pd(), xB = _mm_setzero_pd();
  __m128d saA = _mm_setzero_pd(), svA = saA, sdA = saA;
  __m128d saB = saA, svB = saA, sdB = saA;

  for (int m = 1; m < nn; ++m) {
    const __m128d ddmA = _mm_set_pd(d2[m], d1[m]);
    const __m128d ddmB = _mm_set_sd(d3[m]);

    const __m128d nxA = step_sum(a12, dxA, a11, xA, b12, ddmA, b11, ddfA);
    const __m128d nxB = step_sum(a12, dxB, a11, xB, b12, ddmB, b11, ddfB);
    const __m128d ndxA = step_sum(a22, dxA, a21, xA, b22, ddmA, b21, ddfA);
    const __m128d ndxB = step_sum(a22, dxB, a21, xB, b22, ddmB, b21, ddfB);
    xA = nxA;
    xB = nxB;
    dxA = ndxA;
    dxB = ndxB;
    ddfA = ddmA;
    ddfB = ddmB;

    // ddx = -((hw + hw)*dx) - w2*x
    const __m128d ddxA =
        round_sse2(_mm_sub_pd(_mm_xor_pd(_mm_mul_pd(hw2, dxA), sign), _mm_mul_pd(w2, xA)));
    const __m128d ddxB =
        round_sse2(_mm_sub_pd(_mm_xor_pd(_mm_mul_pd(hw2, dxB), sign), _mm_mul_pd(w2, xB)));

    saA = keep_peak(saA, _mm_andnot_pd(sign, ddxA));
    saB = keep_peak(saB, _mm_andnot_pd(sign, ddxB));
    svA = keep_peak(svA, _mm_andnot_pd(sign, dxA));
    svB = keep_peak(svB, _mm_andnot_pd(sign, dxB));
    sdA = keep_peak(sdA, _mm_andnot_pd(sign, xA));
    sdB = keep_peak(sdB, _mm_andnot_pd(sign, xB));
  }

  // The peaks are float values held in double: narrowing is exact.
  double lo[2];
  _mm_storeu_pd(lo, saA);
  pk[0] = (float)lo[0];
  pk[1] = (float)lo[1];
  pk[2] = (float)_mm_cvtsd_f64(saB);
  _mm_storeu_pd(lo, svA);
  pk[3] = (float)lo[0];
  pk[4] = (float)lo[1];
  pk[5] = (float)_mm_cvtsd_f64(svB);
  _mm_storeu_pd(lo, sdA);
  pk[6] = (float)lo[0];
  pk[7] = (float)lo[1];
  pk[8] = (float)_mm_cvtsd_f64(sdB);
}

// The same kernel in two encodings: plain SSE2, which every x86-64 has, and
// the three-operand AVX (VEX) forms, which save the register copies the
// two-operand forms need. A 256-bit version with all three components in one
// register was tried and was no faster: its double-to-float-to-double round
// trip crosses the register halves and lengthens the chain by more than the
// halved instruction count saves.
void resp3_sse2(const resp_coefs& k, float dt, int nn, const float* d1, const float* d2,
                const float* d3, float (&pk)[9]) {
  resp3_pair(k, dt, nn, d1, d2, d3, pk);
}

__attribute__((target("avx"))) void resp3_avx(const resp_coefs& k, float dt, int nn,
                                              const float* d1, const float* d2,
                                              const float* d3, float (&pk)[9]) {
  resp3_pair(k, dt, nn, d1, d2, d3, pk);
}

#endif  // RSPEC_X86_VECTOR

}  // namespace

bool sweep_path_supported(sweep_path path) {
  switch (path) {
    case sweep_path::plain:
      return true;
#if RSPEC_X86_VECTOR
    case sweep_path::sse2:
      return true;
    case sweep_path::avx:
      return __builtin_cpu_supports("avx");
#endif
    default:
      return false;
  }
}

sweep_path sweep_best_path() {
  static const sweep_path best = sweep_path_supported(sweep_path::avx)    ? sweep_path::avx
                                 : sweep_path_supported(sweep_path::sse2) ? sweep_path::sse2
                                                                          : sweep_path::plain;
  return best;
}

void resp3(sweep_path path, const float& h, const float& w, const float& dt, const int& nn,
           const float* ddy1, const float* ddy2, const float* ddy3, float* acc, float* vel,
           float* dis, float (&peaks)[9]) {
  if (path != sweep_path::plain && sweep_path_supported(path)) {
    // The very coefficients resp computes for the same (h, w, dt); the three
    // components share them.
    const resp_coefs k = resp_coefficients(h, w, dt);
#if RSPEC_X86_VECTOR
    if (path == sweep_path::avx)
      resp3_avx(k, dt, nn, ddy1, ddy2, ddy3, peaks);
    else
      resp3_sse2(k, dt, nn, ddy1, ddy2, ddy3, peaks);
    return;
#endif
  }
  const int nd = kCapacity;
  resp(h, w, dt, nn, ddy1, acc, vel, dis, nd, peaks[0], peaks[3], peaks[6]);
  resp(h, w, dt, nn, ddy2, acc, vel, dis, nd, peaks[1], peaks[4], peaks[7]);
  resp(h, w, dt, nn, ddy3, acc, vel, dis, nd, peaks[2], peaks[5], peaks[8]);
}

}  // namespace spectrum

void sweep_fast(const float& h, const float& dt, const int& nn, const float* ddy1,
                const float* ddy2, const float* ddy3, float* acc, float* vel, float* dis,
                spectrum::row_sink sink, void* ctx, spectrum::sweep_path path) {
  for (int j = 1; j <= spectrum::kPeriods; ++j) {
    float row[spectrum::kRowLength];
    row[0] = spectrum::sweep_period(j);
    const float omega = spectrum::sweep_omega(row[0]);
    float peaks[9];
    spectrum::resp3(path, h, omega, dt, nn, ddy1, ddy2, ddy3, acc, vel, dis, peaks);
    for (int i = 0; i < 9; ++i) row[1 + i] = peaks[i];
    sink(row, ctx);
  }
}

void sweep_fast(const float& h, const float& dt, const int& nn, const float* ddy1,
                const float* ddy2, const float* ddy3, float* acc, float* vel, float* dis,
                spectrum::row_sink sink, void* ctx) {
  sweep_fast(h, dt, nn, ddy1, ddy2, ddy3, acc, vel, dis, sink, ctx, spectrum::sweep_best_path());
}
