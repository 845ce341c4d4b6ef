#include "engine/testsuite/ResultSeries.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace corvanta::testsuite {

std::vector<double> scaled(std::vector<double> values, double factor) {
  for (double &value : values) {
    value *= factor;
  }
  return values;
}

Series line(const std::string &label, std::vector<double> x, std::vector<double> y) {
  return Series{label, std::move(x), std::move(y), false};
}

Series timeSeries(const RunRecord &record, driving::Signal signal, const std::string &label, double factor) {
  return line(label, record.column(driving::kTime), scaled(record.column(signal), factor));
}

RunRecord after(const RunRecord &record, double from) {
  RunRecord part;
  part.name = record.name;
  for (const driving::SignalFrame &frame : record.frames) {
    if (frame[driving::kTime] >= from) {
      part.frames.push_back(frame);
    }
  }
  return part;
}

double maxAbs(const std::vector<double> &values) {
  double largest = 0.0;
  for (const double value : values) {
    largest = std::max(largest, std::fabs(value));
  }
  return largest;
}

Plot pathPlot(const RunRecord &record, const std::string &file) {
  Plot plot{file, "Path driven", "X (m)", false, true, {}};
  Panel panel{"Y (m)", {}};
  if (!record.path.empty()) {
    Series path{"driver's path", {}, {}, false};
    for (const driving::Point2 &p : record.path) {
      path.x.push_back(p.x);
      path.y.push_back(p.y);
    }
    panel.series.push_back(std::move(path));
  }
  panel.series.push_back(line("vehicle", record.column(driving::kPositionX), record.column(driving::kPositionY)));
  plot.panels.push_back(std::move(panel));
  return plot;
}

}  // namespace corvanta::testsuite
