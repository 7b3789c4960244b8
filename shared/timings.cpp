#include "shared/timings.h"

Timings TheTimings;
