#include "runtime/Lookup.h"

#include "runtime/NonFinite.h"

int Corvanta_intervalIndex(double x, const double *bp, int n) {
  int left = 0;
  int right = n - 1;
  while (right - left > 1) {
    const int probe = (left + right) / 2;
    if (x < bp[probe]) {
      right = probe;
    } else {
      left = probe;
    }
  }
  return left;
}

int Corvanta_intervalIndexHinted(double x, const double *bp, int n, LookupHint *hint) {
  if (hint == nullptr) {
    return Corvanta_intervalIndex(x, bp, n);
  }
  // The bisection returns the last k in 0 .. n-2 with bp[k] <= x: k is that index exactly
  // when bp[k] <= x and either k is the last interval or bp[k+1] > x.
  const int k = hint->index;
  if (k >= 0 && k <= n - 2 && bp[k] <= x && (k == n - 2 || x < bp[k + 1])) {
    return k;
  }
  hint->index = Corvanta_intervalIndex(x, bp, n);
  return hint->index;
}

double Corvanta_lookup1D(double x, const double *bp, const double *table, int n, LookupHint *hint) {
  if (rtIsNaN(x)) {
    return rtNaN;
  }
  // Beyond the ends: continue the end segment, dividing before multiplying.
  if (x > bp[n - 1]) {
    return table[n - 1] + ((x - bp[n - 1]) / (bp[n - 1] - bp[n - 2])) * (table[n - 1] - table[n - 2]);
  }
  if (x < bp[0]) {
    return table[0] + ((x - bp[0]) / (bp[1] - bp[0])) * (table[1] - table[0]);
  }
  const int k = Corvanta_intervalIndexHinted(x, bp, n, hint);
  const double r = (x - bp[k]) / (bp[k + 1] - bp[k]);
  // Exact-value shortcuts return the stored values bit for bit.
  if (r == 0.0) {
    return table[k];
  }
  if (r == 1.0) {
    return table[k + 1];
  }
  if (table[k] == table[k + 1]) {
    return table[k];
  }
  return (1.0 - r) * table[k] + r * table[k + 1];
}

namespace {

// Interval index and fraction along one dimension of look2_binlxpw.  Below the first
// breakpoint the fraction is negative, at or above the last breakpoint (and for NaN,
// which fails both comparisons) the last segment is continued with a fraction >= 1.
void intervalAndFraction(double u, const double *bp, std::uint32_t last, std::uint32_t *index, double *fraction,
                         LookupHint *hint) {
  if (u <= bp[0]) {
    *index = 0U;
    *fraction = (u - bp[0]) / (bp[1] - bp[0]);
  } else if (u < bp[last]) {
    // Here bp[0] < u < bp[last]: the bisection ends at the k with bp[k] <= u < bp[k+1].
    if (hint != nullptr) {
      const std::uint32_t k = static_cast<std::uint32_t>(hint->index);
      if (k < last && bp[k] <= u && u < bp[k + 1U]) {
        *index = k;
        *fraction = (u - bp[k]) / (bp[k + 1U] - bp[k]);
        return;
      }
    }
    std::uint32_t left = 0U;
    std::uint32_t right = last;
    std::uint32_t probe = last >> 1U;
    while (right - left > 1U) {
      if (u < bp[probe]) {
        right = probe;
      } else {
        left = probe;
      }
      probe = (right + left) >> 1U;
    }
    *index = left;
    *fraction = (u - bp[left]) / (bp[left + 1U] - bp[left]);
    if (hint != nullptr) {
      hint->index = static_cast<std::int32_t>(left);
    }
  } else {
    *index = last - 1U;
    *fraction = (u - bp[last - 1U]) / (bp[last] - bp[last - 1U]);
  }
}

}  // namespace

double look2_binlxpw(double u0, double u1, const double *bp0, const double *bp1, const double *table,
                     const std::uint32_t *lastIndex, std::uint32_t stride, LookupHint *hint0, LookupHint *hint1) {
  std::uint32_t i0;
  std::uint32_t i1;
  double f0;
  double f1;
  intervalAndFraction(u0, bp0, lastIndex[0], &i0, &f0, hint0);
  intervalAndFraction(u1, bp1, lastIndex[1], &i1, &f1, hint1);
  // First dimension first, then the second; even on a breakpoint the value is formed
  // by these expressions rather than read directly.
  const std::uint32_t base = i0 + i1 * stride;
  const double y0 = (table[base + 1U] - table[base]) * f0 + table[base];
  const double y1 = (table[base + stride + 1U] - table[base + stride]) * f0 + table[base + stride];
  return (y1 - y0) * f1 + y0;
}

double Corvanta_gridLookup(double a, double b, const double *table, const double *columnAxis, const double *rowAxis,
                           int nr, int nc, LookupHint *columnHint, LookupHint *rowHint) {
  // No extrapolation: outside the grid, or for NaN, the result is NaN.
  if (!(b >= rowAxis[0] && b <= rowAxis[nr - 1] && a >= columnAxis[0] && a <= columnAxis[nc - 1])) {
    return rtNaN;
  }
  const int r = Corvanta_intervalIndexHinted(b, rowAxis, nr, rowHint);
  const int c = Corvanta_intervalIndexHinted(a, columnAxis, nc, columnHint);
  const double *row0 = table + nc * r;
  const double *row1 = row0 + nc;

  // Along the rows first: the values of columns c and c+1 at row coordinate b.
  double y0;
  double y1;
  if (rowAxis[r] == b) {
    y0 = row0[c];
    y1 = row0[c + 1];
  } else if (rowAxis[r + 1] == b) {
    y0 = row1[c];
    y1 = row1[c + 1];
  } else {
    const double t = (b - rowAxis[r]) / (rowAxis[r + 1] - rowAxis[r]);
    y0 = (row1[c] == row0[c]) ? row0[c] : (1.0 - t) * row0[c] + t * row1[c];
    y1 = (row1[c + 1] == row0[c + 1]) ? row0[c + 1] : (1.0 - t) * row0[c + 1] + t * row1[c + 1];
  }

  // Then along the columns.
  if (columnAxis[c] == a) {
    return y0;
  }
  if (y0 == y1) {
    return y0;
  }
  if (columnAxis[c + 1] == a) {
    return y1;
  }
  const double s = (a - columnAxis[c]) / (columnAxis[c + 1] - columnAxis[c]);
  return (1.0 - s) * y0 + s * y1;
}

double Corvanta_nearestLookup(double x, const double *bp, const double *table, int n, LookupHint *hint) {
  if (rtIsNaN(x) || x < bp[0] || x > bp[n - 1]) {
    return rtNaN;
  }
  const int k = Corvanta_intervalIndexHinted(x, bp, n, hint);
  // Half-way takes the upper breakpoint; the last breakpoint is reached through the
  // last interval with 1 >= 0.
  if (x - bp[k] >= bp[k + 1] - x) {
    return table[k + 1];
  }
  return table[k];
}
