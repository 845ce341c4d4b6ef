#include "runtime/TransportDelay.h"

double rt_TDelayInterpolate(double tMinusDelay, double tStart, const double *buffer, int bufferSize, int *last,
                            int oldest, int newest, double initialOutput) {
  const double *values = buffer;
  const double *stamps = buffer + bufferSize;

  // Only the initial entry is stored, or the time asked for lies before the start.
  if (newest == 0 && oldest == 0 && tMinusDelay > tStart) {
    return initialOutput;
  }
  if (tMinusDelay <= tStart) {
    return initialOutput;
  }

  int i1;
  int i2;
  if (tMinusDelay <= stamps[oldest]) {
    // Not after the oldest sample: use (and extrapolate from) the two oldest.
    i1 = oldest;
    i2 = (oldest == bufferSize - 1) ? 0 : oldest + 1;
  } else {
    // Search from where the previous read ended: in steady running this moves over one
    // or two entries.  The search ends at the first sample not earlier than the time
    // asked for, or at the newest sample when all are earlier.
    int i = *last;
    if (stamps[i] < tMinusDelay) {
      while (stamps[i] < tMinusDelay && i != newest) {
        i = (i < bufferSize - 1) ? i + 1 : 0;
      }
    } else {
      while (stamps[i] >= tMinusDelay) {
        i = (i > 0) ? i - 1 : bufferSize - 1;
      }
      i = (i < bufferSize - 1) ? i + 1 : 0;
    }
    *last = i;
    i2 = i;
    i1 = (i == 0) ? bufferSize - 1 : i - 1;
  }

  const double t1 = stamps[i1];
  const double t2 = stamps[i2];
  const double u1 = values[i1];
  const double u2 = values[i2];
  if (t2 == t1) {
    // Two samples with one time stamp: a step in the stored signal.
    return (tMinusDelay >= t2) ? u2 : u1;
  }
  const double f1 = (t2 - tMinusDelay) / (t2 - t1);
  const double f2 = 1.0 - f1;
  return (f2 * u2) + (f1 * u1);
}
