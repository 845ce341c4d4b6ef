// Transport delay over a circular buffer of time-stamped samples.
#ifndef CORVANTA_RUNTIME_TRANSPORTDELAY_H
#define CORVANTA_RUNTIME_TRANSPORTDELAY_H

// Reads the delayed signal at time tMinusDelay by linear interpolation between the two
// stored samples around it (extrapolating from the end pair outside the stored span).
// buffer holds bufferSize values followed by their bufferSize time stamps; the valid
// entries run from oldest forward to newest, wrapping at the end.  *last is where the
// previous search ended; the search starts there and stores where it ends.  Before any
// sample beyond the initial entry exists, or for times not after tStart, the result is
// initialOutput.
double rt_TDelayInterpolate(double tMinusDelay, double tStart, const double *buffer, int bufferSize, int *last,
                            int oldest, int newest, double initialOutput);

#endif  // CORVANTA_RUNTIME_TRANSPORTDELAY_H
