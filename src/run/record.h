#pragma once
// The run's sample arrays: the record (time and three components) and the
// work arrays of the integrator. Static storage, zero-filled, allocated once.
#include "spectrum/sweep.h"

struct record {
  float time[spectrum::kCapacity];
  float ddy1[spectrum::kCapacity];
  float ddy2[spectrum::kCapacity];
  float ddy3[spectrum::kCapacity];
  float acc[spectrum::kCapacity];
  float vel[spectrum::kCapacity];
  float dis[spectrum::kCapacity];
};

extern record the_record;
