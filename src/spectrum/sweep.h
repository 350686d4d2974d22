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

// The ways the fast sweep can step the three components of one period.
//   plain: three calls of resp, as sweep does;
//   sse2:  the three components in the double lanes of two registers;
//   avx:   the same kernel in the AVX encoding, where the CPU has it.
// Every path gives the same peaks as resp to the last bit.
enum class sweep_path { plain, sse2, avx };

// Whether this build and this CPU can run a path, and the path sweep_fast
// takes by itself (the fastest one supported).
bool sweep_path_supported(sweep_path path);
sweep_path sweep_best_path();

// The nine peaks of one period for the three components, in the row order
// sa1, sa2, sa3, sv1, sv2, sv3, sd1, sd2, sd3, through the given path. The
// plain path uses acc/vel/dis as resp does; the vector paths keep no history
// and leave them untouched. An unsupported path falls back to plain.
void resp3(sweep_path path, const float& h, const float& w, const float& dt,
           const int& nn, const float* ddy1, const float* ddy2,
           const float* ddy3, float* acc, float* vel, float* dis,
           float (&peaks)[9]);

}  // namespace spectrum

// The sweep with the plain integrator: for j = 1..300, period = j*0.05f,
// omega = 6.283185f/period, three resp calls sharing acc/vel/dis, then the
// row goes to sink. Arrays are indexed from 0 (element 1 of the record is
// ddy1[0]). No allocation.
void sweep(const float& h, const float& dt, const int& nn,
           const float* ddy1, const float* ddy2, const float* ddy3,
           float* acc, float* vel, float* dis,
           spectrum::row_sink sink, void* ctx);

// The sweep the program uses: the same rows as sweep, bit for bit, handed
// over in the same order, one row before the next period is computed, but
// the components of a period are stepped together in vector lanes (path
// chosen at run time from the CPU). Only the peaks are kept: the work arrays
// acc/vel/dis are not written by the vector paths. sweep stays the
// reference it is checked against.
void sweep_fast(const float& h, const float& dt, const int& nn,
                const float* ddy1, const float* ddy2, const float* ddy3,
                float* acc, float* vel, float* dis,
                spectrum::row_sink sink, void* ctx);

// The same with the path forced, for tests and benchmarks.
void sweep_fast(const float& h, const float& dt, const int& nn,
                const float* ddy1, const float* ddy2, const float* ddy3,
                float* acc, float* vel, float* dis,
                spectrum::row_sink sink, void* ctx, spectrum::sweep_path path);
