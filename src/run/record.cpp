// The run's sample arrays.
#include "run/record.h"

record the_record;
