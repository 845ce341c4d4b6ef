// Reading a test's runs into what it reports: columns scaled to display units, the part
// of a run after a time, largest magnitudes, plot series and the path plot.
#ifndef CORVANTA_TESTSUITE_RESULTSERIES_H
#define CORVANTA_TESTSUITE_RESULTSERIES_H

#include <string>
#include <vector>

#include "engine/testsuite/TestResult.h"

namespace corvanta::testsuite {

// Every value times `factor`.
std::vector<double> scaled(std::vector<double> values, double factor);

// A line through the points (x, y).
Series line(const std::string &label, std::vector<double> x, std::vector<double> y);

// `signal` of a run against its time, times `factor`.
Series timeSeries(const RunRecord &record, driving::Signal signal, const std::string &label, double factor = 1.0);

// The frames of a run from time `from` on.
RunRecord after(const RunRecord &record, double from);

// The largest |value|; 0 for none.
double maxAbs(const std::vector<double> &values);

// The driver's path (when the run has one) and the vehicle's track, to scale.
Plot pathPlot(const RunRecord &record, const std::string &file);

}  // namespace corvanta::testsuite

#endif  // CORVANTA_TESTSUITE_RESULTSERIES_H
