#pragma once
// Response of one damped single-degree-of-freedom oscillator to one sampled
// ground-acceleration component, integrated exactly for an excitation that is
// linear between samples.
//
// Indexing: the arrays are indexed from 0 in C++, so sample m (counted from 1)
// is ddy[m-1]. Elements 0 .. max(nn,1)-1 of acc, vel and dis are written and
// ddy[0] is always read. nd only declares the capacity and is not checked.
//
// Arithmetic: every right-hand side is evaluated in double from float operands
// and rounded to float on store; the build must not contract into FMA.
void resp(const float& h, const float& w, const float& dt, const int& nn,
          const float* ddy, float* acc, float* vel, float* dis, const int& nd,
          float& sa, float& sv, float& sd);

namespace spectrum {

// The oscillator constants and the step coefficients of one (h, w, dt),
// every one a float, computed once per call of resp. Shared with the fast
// sweep so that both step with exactly the same coefficients.
struct resp_coefs {
  float w2, hw, wd, wdt, e, cwdt, swdt;  // oscillator constants
  float a11, a12, a21, a22;              // state transition
  float ss, cc, s1, c1, s2, c2, s3, c3;  // auxiliary terms
  float b11, b12, b21, b22;              // load (previous / current sample)
};

// Computes the 23 values in their fixed order, each rounded to float on store.
resp_coefs resp_coefficients(float h, float w, float dt);

}  // namespace spectrum
