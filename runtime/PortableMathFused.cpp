// The fast paths of the portable maths functions with fused multiply-add products
// (corvanta_math::fused), for x86-64 processors that have it: compiled with -mfma where
// the build defines CORVANTA_PORTABLE_MATH_FUSED (CMakeLists.txt), empty elsewhere.
// PortableMath.cpp calls these only when the processor reports the instruction.
#if defined(CORVANTA_PORTABLE_MATH_FUSED)
#include <cstdint>
#include <cstring>

#include "runtime/PortableMathAccurate.h"
#include "runtime/PortableMathTables.h"

#define CORVANTA_FAST_PATHS fused
#define CORVANTA_FAST_PATHS_FUSED
#include "runtime/PortableMathFastPaths.inc"
#endif
