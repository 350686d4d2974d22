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
