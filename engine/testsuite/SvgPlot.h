// Line and marker plots as standalone SVG files: stacked panels sharing an x axis,
// linear or logarithmic x, optional equal axis scales, a legend per panel.  No fonts or
// libraries needed to write them; every browser and Markdown viewer shows them.
#ifndef CORVANTA_TESTSUITE_SVGPLOT_H
#define CORVANTA_TESTSUITE_SVGPLOT_H

#include <string>

#include "engine/testsuite/StandardTests.h"

namespace corvanta::testsuite {

// The SVG document of a plot.  Non-finite points are left out (a line breaks there).
std::string renderSvg(const Plot &plot);

// "Nice" tick positions covering [low, high]: steps of 1, 2 or 5 times a power of ten.
std::vector<double> niceTicks(double low, double high, int target);

}  // namespace corvanta::testsuite

#endif  // CORVANTA_TESTSUITE_SVGPLOT_H
