// Calibration samples of the driver-demand maps: throttle and brake fraction at sampled
// vehicle speeds and AccelerationDemand values, all on breakpoints of the table axes.
#ifndef CORVANTA_TABLEGEN_DEMANDSAMPLES_H
#define CORVANTA_TABLEGEN_DEMANDSAMPLES_H

#include <vector>

constexpr int kSpeedBreakpoints = 121;  // 0 .. 12 m/s in steps of 0.1

struct DemandMapSamples {
  int speeds;                              // breakpoints of the speed axis
  int demands;                             // breakpoints of the demand axis
  double demandStart;                      // first demand breakpoint, m/s²; step 0.01
  std::vector<int> speedIndex;             // sampled speed breakpoints
  std::vector<int> demandIndex;            // sampled demand breakpoints
  std::vector<std::vector<double>> value;  // value[speed sample][demand sample]
};

// Speeds 0, 1, 5, 10, 12 m/s; demands 0.0125, 0.5125, 1.0125, 1.5125, 1.9925 m/s².
inline const DemandMapSamples kThrottleSamples = {
    kSpeedBreakpoints,
    199,
    0.012486705376598906,
    {0, 10, 50, 100, 120},
    {0, 50, 100, 150, 198},
    {
        {-0.3585, 0.1301, 0.1946, 0.4869, 4.2534},
        {-0.1142, 0.1335, 0.1831, 0.3241, 0.9291},
        {0.1341, 0.2956, 0.5661, 1.3234, 4.1080},
        {0.4, 0.6656, 2.4534, 4.4953, 6.4814},
        {0.5922, 4.2499, 7.9190, 11.3125, 14.3110},
    },
};

// Speeds 0, 1, 5, 10, 12 m/s; demands -4.205, -3.205, -2.205, -1.205, -0.205, -0.085 m/s².
inline const DemandMapSamples kBrakeSamples = {
    kSpeedBreakpoints,
    413,
    -4.204974631199062,
    {0, 10, 50, 100, 120},
    {0, 100, 200, 300, 400, 412},
    {
        {1.3156, 1.1189, 0.6639, 0.6914, 0.0650, 0.0033},
        {1.1216, 0.8552, 0.6181, 0.3238, 0.0216, -0.0178},
        {1.0364, 0.7747, 0.5063, 0.2382, -0.0424, -0.0785},
        {1.1161, 0.7633, 0.4604, 0.1662, -0.1254, -0.1612},
        {1.1355, 0.7980, 0.4882, 0.1825, -0.1258, -0.1631},
    },
};

#endif  // CORVANTA_TABLEGEN_DEMANDSAMPLES_H
