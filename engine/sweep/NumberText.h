// Numbers as text: the shortest decimal form that reads back as the same double.
#ifndef CORVANTA_SWEEP_NUMBERTEXT_H
#define CORVANTA_SWEEP_NUMBERTEXT_H

#include <string>

namespace corvanta::sweep {

// 0.03 -> "0.03", 1e300 -> "1e+300", 5 -> "5", -0.0 -> "-0"; NaN -> "nan" (whatever its
// sign and payload), infinities -> "inf" and "-inf".  Independent of the locale.
std::string shortestText(double value);

}  // namespace corvanta::sweep

#endif  // CORVANTA_SWEEP_NUMBERTEXT_H
