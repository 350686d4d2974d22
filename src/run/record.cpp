// The run's sample arrays and the sweep over them.
#include "run/record.h"

record the_record;

void run_sweep(float h, float dt, int nn, record& r, spectrum::row_sink sink, void* ctx) {
  sweep_fast(h, dt, nn, r.ddy1, r.ddy2, r.ddy3, r.acc, r.vel, r.dis, sink, ctx);
}
