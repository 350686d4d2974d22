#include "spectrum/resp.h"

#include <cmath>

// Every assignment below is written out with its operands widened to double
// one at a time, so the evaluation order is the one given here and nothing
// else: a single (float) cast at the end rounds the double result on store.
// Products of two floats are exact in double; the sums and quotients are not,
// which is why the grouping of each expression matters to the last bit.

namespace spectrum {

resp_coefs resp_coefficients(float h, float w, float dt) {
  resp_coefs k;
  const double H = h, W = w, DT = dt;

  k.w2 = (float)(W * W);
  k.hw = (float)(H * W);
  // The square root is stored as a float before it multiplies w.
  const float r = (float)std::sqrt(1.0 - H * H);
  k.wd = (float)((double)r * W);
  k.wdt = (float)((double)k.wd * DT);
  k.e = (float)std::exp(-((double)k.hw * DT));
  k.cwdt = (float)std::cos((double)k.wdt);
  k.swdt = (float)std::sin((double)k.wdt);

  const double w2 = k.w2, hw = k.hw, wd = k.wd, wdt = k.wdt, e = k.e,
               cwdt = k.cwdt, swdt = k.swdt;
  k.a11 = (float)((hw * swdt / wd + cwdt) * e);
  k.a12 = (float)(e * swdt / wd);
  k.a21 = (float)(-(e * w2 * swdt / wd));
  k.a22 = (float)((cwdt - hw * swdt / wd) * e);

  k.ss = (float)(-(hw * swdt) - wd * cwdt);
  k.cc = (float)(-(hw * cwdt) + wd * swdt);
  const double ss = k.ss, cc = k.cc;
  k.s1 = (float)((e * ss + wd) / w2);
  k.c1 = (float)((e * cc + hw) / w2);
  const double s1 = k.s1, c1 = k.c1;
  k.s2 = (float)((e * DT * ss + hw * s1 + wd * c1) / w2);
  k.c2 = (float)((e * DT * cc + hw * c1 - wd * s1) / w2);
  const double s2 = k.s2, c2 = k.c2;
  k.s3 = (float)(DT * s1 - s2);
  k.c3 = (float)(DT * c1 - c2);
  const double s3 = k.s3, c3 = k.c3;

  k.b11 = (float)(-(s2 / wdt));
  k.b12 = (float)(-(s3 / wdt));
  k.b21 = (float)((hw * s2 - wd * c2) / wdt);
  k.b22 = (float)((hw * s3 - wd * c3) / wdt);
  return k;
}

}  // namespace spectrum

void resp(const float& h, const float& w, const float& dt, const int& nn,
          const float* ddy, float* acc, float* vel, float* dis, const int& nd,
          float& sa, float& sv, float& sd) {
  (void)nd;  // capacity only; the caller keeps nn within it
  const spectrum::resp_coefs k = spectrum::resp_coefficients(h, w, dt);
  const double w2 = k.w2, hw = k.hw;
  const double a11 = k.a11, a12 = k.a12, a21 = k.a21, a22 = k.a22;
  const double b11 = k.b11, b12 = k.b12, b21 = k.b21, b22 = k.b22;

  // The first sample acts as an impulse over one interval.
  acc[0] = (float)(((double)h + (double)h) * (double)w * (double)ddy[0] * (double)dt);
  vel[0] = (float)(-((double)ddy[0] * (double)dt));
  dis[0] = 0.0f;
  float dx = vel[0];
  float x = 0.0f;
  float psa = 0.0f, psv = 0.0f, psd = 0.0f;

  for (int m = 1; m < nn; ++m) {
    const double dxf = dx, xf = x;
    const double ddym = ddy[m], ddyf = ddy[m - 1];
    // Both new values come from the previous state, not from each other.
    x = (float)(((a12 * dxf + a11 * xf) + b12 * ddym) + b11 * ddyf);
    dx = (float)(((a22 * dxf + a21 * xf) + b22 * ddym) + b21 * ddyf);
    const float ddx = (float)(-((hw + hw) * (double)dx) - w2 * (double)x);
    acc[m] = ddx;
    vel[m] = dx;
    dis[m] = x;
    // A peak is replaced when it is smaller or when the two do not compare,
    // so a NaN takes the peak; an equal magnitude leaves it alone.
    const float ax = std::fabs(ddx), av = std::fabs(dx), ad = std::fabs(x);
    if (!(psa >= ax)) psa = ax;
    if (!(psv >= av)) psv = av;
    if (!(psd >= ad)) psd = ad;
  }
  sa = psa;
  sv = psv;
  sd = psd;
}
