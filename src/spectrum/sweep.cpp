#include "spectrum/sweep.h"

#include "spectrum/resp.h"

namespace spectrum {

float sweep_period(int j) {
  // 0.05f is the float nearest 0.05; the product is formed in double.
  return (float)((double)j * (double)0.05f);
}

float sweep_omega(float period) {
  // 6.283185f lies slightly below the float nearest 2*pi; that is intended.
  return (float)((double)6.283185f / (double)period);
}

}  // namespace spectrum

void sweep(const float& h, const float& dt, const int& nn,
           const float* ddy1, const float* ddy2, const float* ddy3,
           float* acc, float* vel, float* dis,
           spectrum::row_sink sink, void* ctx) {
  const int nd = spectrum::kCapacity;
  for (int j = 1; j <= spectrum::kPeriods; ++j) {
    const float period = spectrum::sweep_period(j);
    const float omega = spectrum::sweep_omega(period);
    float sa1, sv1, sd1, sa2, sv2, sd2, sa3, sv3, sd3;
    resp(h, omega, dt, nn, ddy1, acc, vel, dis, nd, sa1, sv1, sd1);
    resp(h, omega, dt, nn, ddy2, acc, vel, dis, nd, sa2, sv2, sd2);
    resp(h, omega, dt, nn, ddy3, acc, vel, dis, nd, sa3, sv3, sd3);
    const float row[spectrum::kRowLength] = {period, sa1, sa2, sa3, sv1,
                                             sv2,    sv3, sd1, sd2, sd3};
    sink(row, ctx);
  }
}
