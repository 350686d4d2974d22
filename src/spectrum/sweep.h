#pragma once
// The spectrum sweep: 300 periods, three components, one row handed over per
// period before the next one is computed.

namespace spectrum {

// Capacity of every sample array of the run, and the number of periods.
constexpr int kCapacity = 33000;
constexpr int kPeriods = 300;

// A spectrum row, in this order: period, sa1, sa2, sa3, sv1, sv2, sv3,
// sd1, sd2, sd3 (grouped by quantity, not by component).
constexpr int kRowLength = 10;

// Receives each finished row; ctx is the caller's own pointer.
using row_sink = void (*)(const float (&row)[kRowLength], void* ctx);

// The period of pass j (1..300), j*0.05f rounded to float, and the circular
// frequency 6.283185f/period rounded to float.
float sweep_period(int j);
float sweep_omega(float period);

}  // namespace spectrum

// The sweep with the plain integrator: for j = 1..300, period = j*0.05f,
// omega = 6.283185f/period, three resp calls sharing acc/vel/dis, then the
// row goes to sink. Arrays are indexed from 0 (element 1 of the record is
// ddy1[0]). No allocation.
void sweep(const float& h, const float& dt, const int& nn,
           const float* ddy1, const float* ddy2, const float* ddy3,
           float* acc, float* vel, float* dis,
           spectrum::row_sink sink, void* ctx);
