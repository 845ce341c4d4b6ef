#include "model/data/ConstantBlocks.h"

// pi/4 × 10.889999999999999, where 10.889999999999999 is 3.3 × 3.3 in double precision.
const double Corvanta_ConstB = 8.55298599939821;
