#include "engine/testsuite/Metrics.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace corvanta::testsuite {

std::vector<double> leastSquares(const std::vector<std::vector<double>> &rows, const std::vector<double> &rhs) {
  const std::size_t n = rows.empty() ? 0 : rows.front().size();
  if (n == 0 || n > 8 || rows.size() < n) {
    throw std::invalid_argument("least squares: 1 to 8 unknowns and at least as many points");
  }
  // Normal equations [M | v], solved by Gaussian elimination with partial pivoting.
  std::vector<std::vector<double>> m(n, std::vector<double>(n + 1, 0.0));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j) {
        m[i][j] += rows[r][i] * rows[r][j];
      }
      m[i][n] += rows[r][i] * rhs[r];
    }
  }
  for (std::size_t col = 0; col < n; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < n; ++r) {
      if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) {
        pivot = r;
      }
    }
    if (!(std::fabs(m[pivot][col]) > 0.0)) {
      throw std::invalid_argument("least squares: singular system (the points do not determine the fit)");
    }
    std::swap(m[col], m[pivot]);
    for (std::size_t r = 0; r < n; ++r) {
      if (r == col) {
        continue;
      }
      const double factor = m[r][col] / m[col][col];
      for (std::size_t c = col; c <= n; ++c) {
        m[r][c] -= factor * m[col][c];
      }
    }
  }
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = m[i][n] / m[i][i];
  }
  return x;
}

std::vector<double> movingAverage(const std::vector<double> &time, const std::vector<double> &values, double window) {
  std::vector<double> averaged(values.size());
  std::size_t begin = 0;
  std::size_t end = 0;
  double sum = 0.0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    while (end < values.size() && time[end] <= time[i] + 0.5 * window) {
      sum += values[end++];
    }
    while (time[begin] < time[i] - 0.5 * window) {
      sum -= values[begin++];
    }
    averaged[i] = sum / static_cast<double>(end - begin);
  }
  return averaged;
}

double meanOver(const std::vector<double> &time, const std::vector<double> &values, double from, double to) {
  double sum = 0.0;
  std::size_t count = 0;
  for (std::size_t i = 0; i < time.size(); ++i) {
    if (time[i] >= from && time[i] <= to) {
      sum += values[i];
      ++count;
    }
  }
  return count == 0 ? NAN : sum / static_cast<double>(count);
}

double crossingTime(const std::vector<double> &time, const std::vector<double> &values, double level, bool rising,
                    double from) {
  for (std::size_t i = 1; i < time.size(); ++i) {
    if (time[i] < from) {
      continue;
    }
    const bool reached = rising ? values[i] >= level : values[i] <= level;
    if (!reached) {
      continue;
    }
    const bool before = rising ? values[i - 1] >= level : values[i - 1] <= level;
    if (before || time[i - 1] < from) {
      return time[i];
    }
    const double fraction = (level - values[i - 1]) / (values[i] - values[i - 1]);
    return time[i - 1] + (time[i] - time[i - 1]) * fraction;
  }
  return NAN;
}

double valueAt(const std::vector<double> &time, const std::vector<double> &values, double t) {
  if (time.empty()) {
    return NAN;
  }
  if (t <= time.front()) {
    return values.front();
  }
  const auto upper = std::upper_bound(time.begin(), time.end(), t);
  if (upper == time.end()) {
    return values.back();
  }
  const std::size_t i = static_cast<std::size_t>(upper - time.begin());
  const double fraction = (t - time[i - 1]) / (time[i] - time[i - 1]);
  return values[i - 1] + (values[i] - values[i - 1]) * fraction;
}

LineFit fitLine(const std::vector<double> &x, const std::vector<double> &y, double low, double high) {
  std::vector<std::vector<double>> rows;
  std::vector<double> rhs;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (x[i] >= low && x[i] <= high && std::isfinite(y[i])) {
      rows.push_back({x[i], 1.0});
      rhs.push_back(y[i]);
    }
  }
  LineFit fit;
  fit.points = rows.size();
  if (rows.size() < 2) {
    fit.slope = fit.intercept = fit.rSquared = NAN;
    return fit;
  }
  const std::vector<double> solution = leastSquares(rows, rhs);
  fit.slope = solution[0];
  fit.intercept = solution[1];
  double mean = 0.0;
  for (const double value : rhs) {
    mean += value;
  }
  mean /= static_cast<double>(rhs.size());
  double total = 0.0;
  double residual = 0.0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const double predicted = fit.slope * rows[i][0] + fit.intercept;
    total += (rhs[i] - mean) * (rhs[i] - mean);
    residual += (rhs[i] - predicted) * (rhs[i] - predicted);
  }
  fit.rSquared = total > 0.0 ? 1.0 - residual / total : 1.0;
  return fit;
}

StepResponse stepResponse(const std::vector<double> &time, const std::vector<double> &input,
                          const std::vector<double> &response, double stepStart, double baseline, double steadyWindow,
                          double peakWindow) {
  StepResponse result;
  const double end = time.back();
  const double input0 = meanOver(time, input, stepStart - baseline, stepStart);
  const double response0 = meanOver(time, response, stepStart - baseline, stepStart);
  result.steadyInput = meanOver(time, input, end - steadyWindow, end) - input0;
  result.steadyResponse = meanOver(time, response, end - steadyWindow, end) - response0;
  result.gain = result.steadyResponse / result.steadyInput;

  // Work on the response in the direction of its steady change, so that a step to the
  // right reads like one to the left.
  const double inputSign = result.steadyInput < 0.0 ? -1.0 : 1.0;
  const double responseSign = result.steadyResponse < 0.0 ? -1.0 : 1.0;
  std::vector<double> in(input.size());
  std::vector<double> out(response.size());
  for (std::size_t i = 0; i < input.size(); ++i) {
    in[i] = inputSign * (input[i] - input0);
    out[i] = responseSign * (response[i] - response0);
  }
  const double steadyIn = std::fabs(result.steadyInput);
  const double steadyOut = std::fabs(result.steadyResponse);
  result.referenceTime = crossingTime(time, in, 0.5 * steadyIn, true, stepStart);
  const double t90 = crossingTime(time, out, 0.9 * steadyOut, true, stepStart);
  result.responseTime = t90 - result.referenceTime;

  // The peak within the transient window; a maximum at the window's end means the
  // response is still rising there: no peak.
  double peak = -INFINITY;
  double peakAt = NAN;
  std::size_t peakIndex = 0;
  std::size_t lastIndex = 0;
  for (std::size_t i = 0; i < time.size(); ++i) {
    if (time[i] < stepStart || time[i] > result.referenceTime + peakWindow) {
      continue;
    }
    lastIndex = i;
    if (out[i] > peak) {
      peak = out[i];
      peakAt = time[i];
      peakIndex = i;
    }
  }
  result.overshoot = std::max(0.0, (peak - steadyOut) / steadyOut * 100.0);
  if (peakIndex == lastIndex || !(result.overshoot >= kDistinctPeak)) {
    result.peakResponse = NAN;
    result.peakTime = NAN;
  } else {
    result.peakResponse = responseSign * peak;
    result.peakTime = peakAt - result.referenceTime;
  }
  return result;
}

SineFit fitSine(const std::vector<double> &time, const std::vector<double> &values, double frequency, double from,
                double to) {
  const double omega = 2.0 * 3.14159265358979323846 * frequency;
  std::vector<std::vector<double>> rows;
  std::vector<double> rhs;
  for (std::size_t i = 0; i < time.size(); ++i) {
    if (time[i] >= from && time[i] <= to) {
      rows.push_back({std::sin(omega * time[i]), std::cos(omega * time[i]), 1.0, time[i] - from});
      rhs.push_back(values[i]);
    }
  }
  const std::vector<double> solution = leastSquares(rows, rhs);
  // a sin + b cos = A sin(w t + phase) with A cos(phase) = a, A sin(phase) = b.
  return SineFit{std::hypot(solution[0], solution[1]), std::atan2(solution[1], solution[0])};
}

FrequencyPoint frequencyPoint(const std::vector<double> &time, const std::vector<double> &input,
                              const std::vector<double> &output, double frequency, double from, double to) {
  const SineFit in = fitSine(time, input, frequency, from, to);
  const SineFit out = fitSine(time, output, frequency, from, to);
  double phase = (out.phase - in.phase) * kRadToDeg;
  while (phase > 180.0) {
    phase -= 360.0;
  }
  while (phase <= -180.0) {
    phase += 360.0;
  }
  return FrequencyPoint{frequency, out.amplitude / in.amplitude, phase};
}

Braking braking(const std::vector<double> &time, const std::vector<double> &speed, const std::vector<double> &distance,
                double onset, double stopSpeed) {
  Braking result;
  result.initialSpeed = valueAt(time, speed, onset);
  const double startDistance = valueAt(time, distance, onset);
  const double stopTime = crossingTime(time, speed, stopSpeed, false, onset);
  result.time = stopTime - onset;
  result.distance = valueAt(time, distance, stopTime) - startDistance;
  const double vb = 0.8 * result.initialSpeed;
  const double ve = 0.1 * result.initialSpeed;
  const double tb = crossingTime(time, speed, vb, false, onset);
  const double te = crossingTime(time, speed, ve, false, onset);
  const double sb = valueAt(time, distance, tb);
  const double se = valueAt(time, distance, te);
  result.mfdd = (vb * vb - ve * ve) / (2.0 * (se - sb));
  if (std::isnan(stopTime)) {
    result.distance = result.time = NAN;
  }
  if (std::isnan(tb) || std::isnan(te)) {
    result.mfdd = NAN;
  }
  return result;
}

SpeedReached speedReached(const std::vector<double> &time, const std::vector<double> &speed,
                          const std::vector<double> &distance, double target) {
  const double at = crossingTime(time, speed, target, true, time.front());
  return SpeedReached{target, at - time.front(), std::isnan(at) ? NAN : valueAt(time, distance, at) - distance.front()};
}

RoadLoad roadLoad(const std::vector<double> &time, const std::vector<double> &speed, double mass, double halfWindow,
                  double minSpeed, double maxSpeed) {
  std::vector<std::vector<double>> rows;
  std::vector<double> rhs;
  for (std::size_t i = 0; i < time.size(); ++i) {
    const double before = time[i] - halfWindow;
    const double after = time[i] + halfWindow;
    if (before < time.front() || after > time.back() || speed[i] < minSpeed || speed[i] > maxSpeed) {
      continue;
    }
    const double deceleration = (valueAt(time, speed, before) - valueAt(time, speed, after)) / (2.0 * halfWindow);
    rows.push_back({1.0, speed[i], speed[i] * speed[i]});
    rhs.push_back(mass * deceleration);
  }
  RoadLoad result;
  result.points = rows.size();
  if (rows.size() < 3) {
    result.a = result.b = result.c = NAN;
    return result;
  }
  const std::vector<double> solution = leastSquares(rows, rhs);
  result.a = solution[0];
  result.b = solution[1];
  result.c = solution[2];
  return result;
}

std::size_t conesHit(const std::vector<double> &x, const std::vector<double> &y, const std::vector<double> &heading,
                     const std::vector<double> &coneX, const std::vector<double> &coneY, const Footprint &footprint) {
  std::vector<bool> hit(coneX.size(), false);
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double c = std::cos(heading[i]);
    const double s = std::sin(heading[i]);
    for (std::size_t k = 0; k < coneX.size(); ++k) {
      const double dx = coneX[k] - x[i];
      const double dy = coneY[k] - y[i];
      const double along = c * dx + s * dy;
      const double across = -s * dx + c * dy;
      if (along <= footprint.front && along >= -footprint.rear && std::fabs(across) <= footprint.halfWidth) {
        hit[k] = true;
      }
    }
  }
  return static_cast<std::size_t>(std::count(hit.begin(), hit.end(), true));
}

}  // namespace corvanta::testsuite
