#include "engine/testsuite/SvgPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace corvanta::testsuite {

namespace {

constexpr double kWidth = 760.0;
constexpr double kPanelHeight = 220.0;
constexpr double kLeft = 80.0;
constexpr double kRight = 20.0;
constexpr double kTop = 40.0;
constexpr double kGap = 30.0;
constexpr double kBottom = 50.0;
const char *const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};

std::string escaped(const std::string &text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

std::string tickLabel(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", std::fabs(value) < 1e-12 ? 0.0 : value);
  return text;
}

struct Range {
  double low = INFINITY;
  double high = -INFINITY;
  void include(double value) {
    if (std::isfinite(value)) {
      low = std::min(low, value);
      high = std::max(high, value);
    }
  }
  void finish() {
    if (!(low <= high)) {
      low = 0.0;
      high = 1.0;
    }
    if (high - low < 1e-12 * std::max(1.0, std::fabs(high))) {
      const double pad = std::max(1e-3, 0.1 * std::fabs(high));
      low -= pad;
      high += pad;
    }
  }
};

class Axis {
 public:
  Axis(double low, double high, double from, double to, bool log)
      : low_(log ? std::log10(low) : low), high_(log ? std::log10(high) : high), from_(from), to_(to), log_(log) {}
  double operator()(double value) const {
    const double v = log_ ? std::log10(value) : value;
    return from_ + (to_ - from_) * (v - low_) / (high_ - low_);
  }

 private:
  double low_, high_, from_, to_;
  bool log_;
};

std::vector<double> logTicks(double low, double high) {
  std::vector<double> ticks;
  for (double decade = std::pow(10.0, std::floor(std::log10(low))); decade <= high * 1.0001; decade *= 10.0) {
    for (const double m : {1.0, 2.0, 5.0}) {
      const double tick = decade * m;
      if (tick >= low * 0.9999 && tick <= high * 1.0001) {
        ticks.push_back(tick);
      }
    }
  }
  return ticks;
}

}  // namespace

std::vector<double> niceTicks(double low, double high, int target) {
  const double raw = (high - low) / std::max(1, target);
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double step = magnitude;
  for (const double m : {1.0, 2.0, 5.0, 10.0}) {
    step = m * magnitude;
    if (step >= raw) {
      break;
    }
  }
  std::vector<double> ticks;
  for (double tick = std::ceil(low / step - 1e-9) * step; tick <= high + 1e-9 * step; tick += step) {
    ticks.push_back(tick);
  }
  return ticks;
}

std::string renderSvg(const Plot &plot) {
  const std::size_t panelCount = std::max<std::size_t>(1, plot.panels.size());
  const double panels = static_cast<double>(panelCount);
  const double height = kTop + panels * kPanelHeight + (panels - 1.0) * kGap + kBottom;
  Range x;
  for (const Panel &panel : plot.panels) {
    for (const Series &series : panel.series) {
      for (const double value : series.x) {
        if (!plot.logX || value > 0.0) {
          x.include(value);
        }
      }
    }
  }
  x.finish();
  if (plot.logX) {
    x.low = std::pow(10.0, std::floor(std::log10(x.low) * 10.0) / 10.0);
    x.high = std::pow(10.0, std::ceil(std::log10(x.high) * 10.0) / 10.0);
  } else if (!plot.equalAxes) {
    const std::vector<double> ticks = niceTicks(x.low, x.high, 8);
    const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1.0;
    x.low = std::floor(x.low / step + 1e-9) * step;
    x.high = std::ceil(x.high / step - 1e-9) * step;
  }

  const double plotWidth = kWidth - kLeft - kRight;
  double perPixel = 0.0;  // equal axes: metres per pixel on both
  if (plot.equalAxes) {
    Range y;
    for (const Panel &panel : plot.panels) {
      for (const Series &series : panel.series) {
        for (const double value : series.y) {
          y.include(value);
        }
      }
    }
    y.finish();
    perPixel = 1.05 * std::max((x.high - x.low) / plotWidth, (y.high - y.low) / kPanelHeight);
    const double centre = 0.5 * (x.low + x.high);
    x.low = centre - 0.5 * perPixel * plotWidth;
    x.high = centre + 0.5 * perPixel * plotWidth;
  }

  std::ostringstream svg;
  svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << height
      << "\" viewBox=\"0 0 " << kWidth << " " << height << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"" << kWidth / 2 << "\" y=\"22\" text-anchor=\"middle\" font-size=\"15\">" << escaped(plot.title)
      << "</text>\n";
  for (std::size_t p = 0; p < plot.panels.size(); ++p) {
    const Panel &panel = plot.panels[p];
    const double top = kTop + static_cast<double>(p) * (kPanelHeight + kGap);
    const double bottom = top + kPanelHeight;
    Range y;
    for (const Series &series : panel.series) {
      for (std::size_t i = 0; i < series.y.size(); ++i) {
        if (std::isfinite(series.x[i]) && series.x[i] >= x.low && series.x[i] <= x.high) {
          y.include(series.y[i]);
        }
      }
    }
    y.finish();
    if (plot.equalAxes) {
      const double centre = 0.5 * (y.low + y.high);
      y.low = centre - 0.5 * perPixel * kPanelHeight;
      y.high = centre + 0.5 * perPixel * kPanelHeight;
    }
    const std::vector<double> yTicks = niceTicks(y.low, y.high, 5);
    if (!plot.equalAxes && yTicks.size() > 1) {
      const double step = yTicks[1] - yTicks[0];
      y.low = std::min(y.low, std::floor(y.low / step + 1e-9) * step);
      y.high = std::max(y.high, std::ceil(y.high / step - 1e-9) * step);
    }
    const Axis xAxis(x.low, x.high, kLeft, kLeft + plotWidth, plot.logX);
    const Axis yAxis(y.low, y.high, bottom, top, false);
    svg << "<g>\n<rect x=\"" << kLeft << "\" y=\"" << top << "\" width=\"" << plotWidth << "\" height=\""
        << kPanelHeight << "\" fill=\"none\" stroke=\"black\"/>\n";
    for (const double tick : niceTicks(y.low, y.high, 5)) {
      const double py = yAxis(tick);
      svg << "<line x1=\"" << kLeft << "\" x2=\"" << number(kLeft + plotWidth) << "\" y1=\"" << number(py) << "\" y2=\""
          << number(py) << "\" stroke=\"#ddd\"/>"
          << "<text x=\"" << kLeft - 6 << "\" y=\"" << number(py + 4) << "\" text-anchor=\"end\">" << tickLabel(tick)
          << "</text>\n";
    }
    for (const double tick : plot.logX ? logTicks(x.low, x.high) : niceTicks(x.low, x.high, 8)) {
      const double px = xAxis(tick);
      svg << "<line x1=\"" << number(px) << "\" x2=\"" << number(px) << "\" y1=\"" << top << "\" y2=\"" << bottom
          << "\" stroke=\"#ddd\"/>";
      if (p + 1 == plot.panels.size()) {
        svg << "<text x=\"" << number(px) << "\" y=\"" << bottom + 16 << "\" text-anchor=\"middle\">" << tickLabel(tick)
            << "</text>";
      }
      svg << "\n";
    }
    svg << "<text transform=\"translate(18," << number(0.5 * (top + bottom))
        << ") rotate(-90)\" text-anchor=\"middle\">" << escaped(panel.yLabel) << "</text>\n";
    std::ostringstream legend;
    for (std::size_t s = 0; s < panel.series.size(); ++s) {
      const Series &series = panel.series[s];
      const char *colour = kColours[s % (sizeof kColours / sizeof *kColours)];
      std::ostringstream points;
      bool open = false;
      for (std::size_t i = 0; i < series.x.size(); ++i) {
        const bool usable = std::isfinite(series.x[i]) && std::isfinite(series.y[i]) &&
                            (!plot.logX || series.x[i] > 0.0) && series.y[i] >= y.low && series.y[i] <= y.high &&
                            series.x[i] >= x.low && series.x[i] <= x.high;
        if (!usable) {
          open = false;
          continue;
        }
        const double px = xAxis(series.x[i]);
        const double py = yAxis(series.y[i]);
        if (series.markers) {
          svg << "<circle cx=\"" << number(px) << "\" cy=\"" << number(py) << "\" r=\"3\" fill=\"" << colour
              << "\"/>\n";
        } else {
          points << (open ? " L" : " M") << number(px) << " " << number(py);
          open = true;
        }
      }
      if (!series.markers && !points.str().empty()) {
        svg << "<path d=\"" << points.str() << "\" fill=\"none\" stroke=\"" << colour << "\" stroke-width=\"1.5\"/>\n";
      }
      const double ly = top + 16.0 + 16.0 * static_cast<double>(s);
      legend << "<rect x=\"" << kLeft + plotWidth - 190 << "\" y=\"" << ly - 9 << "\" width=\"12\" height=\"3\" fill=\""
             << colour << "\"/><text x=\"" << kLeft + plotWidth - 172 << "\" y=\"" << ly - 3 << "\">"
             << escaped(series.label) << "</text>\n";
    }
    // The legend over the lines, on a white ground.
    svg << "<rect x=\"" << kLeft + plotWidth - 196 << "\" y=\"" << top + 4 << "\" width=\"192\" height=\""
        << 16.0 * static_cast<double>(panel.series.size()) + 2.0
        << "\" fill=\"white\" fill-opacity=\"0.85\" stroke=\"#ccc\"/>\n"
        << legend.str() << "</g>\n";
  }
  svg << "<text x=\"" << kLeft + plotWidth / 2 << "\" y=\"" << height - 12 << "\" text-anchor=\"middle\">"
      << escaped(plot.xLabel) << "</text>\n</svg>\n";
  return svg.str();
}

}  // namespace corvanta::testsuite
