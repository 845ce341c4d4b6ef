// The lookup tables of the powertrain.  The engine map, the torque-converter curves and
// the gear ratios are the calibration as measured; the shift schedule and the two
// driver-demand maps are expanded from their knots and samples by the table generator
// (tools/tablegen), whose output is included from generated/.
#include "model/data/ConstantBlocks.h"

const ConstP_Corvanta_T Corvanta_ConstP = {
    // EngineTorqueMap_Table [N·m]: one row per engine speed, throttle varying fastest.
    {
        // 0 rpm
        0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0,
        // 86.6667 rpm
        15.0, 64.064, 85.328, 87.064, 88.048, 88.536, 88.704, 88.744, 88.768, 88.744,
        // 173.333 rpm
        18.0, 78.176, 117.56, 125.544, 126.824, 127.344, 127.528, 127.544, 127.544, 127.544,
        // 433.333 rpm
        20.0, 59.448, 146.12, 167.224, 175.6, 178.464, 179.536, 179.632, 179.608, 179.536,
        // 750 rpm
        25.0, 39.66, 138.648, 172.668, 186.152, 191.204, 193.676, 194.252, 194.628, 194.892,
        // 866.667 rpm
        15.0, 35.0, 131.176, 178.112, 196.704, 203.944, 207.816, 208.872, 209.648, 210.248,
        // 1300 rpm
        -16.976, -4.152, 99.032, 171.44, 207.0, 222.12, 228.256, 229.168, 229.552, 229.696,
        // 1733.33 rpm
        -21.312, -5.392, 68.432, 153.264, 203.92, 224.744, 233.48, 235.048, 235.688, 235.904,
        // 2166.67 rpm
        -25.368, -12.76, 47.48, 129.208, 196.232, 227.192, 240.088, 242.256, 243.152, 243.456,
        // 2600 rpm
        -28.944, -18.568, 31.704, 103.104, 188.088, 235.224, 256.704, 260.488, 262.104, 262.664,
        // 3033.33 rpm
        -32.464, -23.656, 19.768, 81.256, 169.224, 228.608, 258.416, 263.984, 266.424, 267.304,
        // 3466.67 rpm
        -36.0, -28.376, 9.936, 64.328, 146.76, 209.28, 242.344, 248.584, 251.288, 252.232,
        // 3900 rpm
        -39.736, -33.144, 0.232, 48.36, 126.464, 199.744, 241.768, 249.96, 253.6, 254.952,
        // 4333.33 rpm
        -43.624, -37.888, -8.392, 34.672, 105.272, 185.448, 236.488, 247.0, 251.784, 253.6,
        // 4766.67 rpm
        -47.76, -42.568, -16.064, 22.72, 86.408, 167.472, 224.528, 236.784, 242.456, 244.64,
        // 5200 rpm
        -51.912, -47.344, -23.176, 12.16, 70.304, 148.64, 207.776, 220.816, 226.968, 229.368,
        // 5633.33 rpm
        -56.56, -52.328, -30.064, 2.376, 55.72, 129.024, 186.376, 199.088, 205.056, 207.416,
        // 6066.67 rpm
        -61.624, -57.584, -36.936, -6.872, 42.408, 109.984, 163.184, 175.016, 180.576, 182.704,
        // 6500 rpm: the fuel cut-off, a uniform drag torque
        -61.6, -61.6, -61.6, -61.6, -61.6, -61.6, -61.6, -61.6, -61.6, -61.6,
    },
    // EngineTorqueMap_Axis1: throttle fraction.
    {0.0, 0.1, 0.15, 0.2, 0.35, 0.5, 0.7, 0.85, 0.95, 1.0},
    // EngineTorqueMap_Axis2: engine speed [rpm], stored as measured (not exact thirds).
    {0.0, 86.6667, 173.333, 433.333, 750.0, 866.667, 1300.0, 1733.33, 2166.67, 2600.0, 3033.33,
     3466.67, 3900.0, 4333.33, 4766.67, 5200.0, 5633.33, 6066.67, 6500.0},
    // GearRatio_Axis1: gear number, -1 reverse, 0 neutral.
    {-1.0, 0.0, 1.0, 2.0, 3.0, 4.0, 5.0},
    // GearRatio_Table.
    {-4.0, 0.0, 3.538, 2.06, 1.404, 1.0, 0.713},
    // InvCapacityFactor_Table: 1 / capacity factor [rpm / sqrt(N·m)]; negative when the
    // turbine overruns the pump.
    {0.006425, 0.006425, 0.006425, 0.006425, 0.006424, 0.006419, 0.006386, 0.006243, 0.005735,
     0.004185, 0.002578, 0.000614, -0.000614, -0.002578, -0.004185, -0.005735, -0.006243,
     -0.006386, -0.006419, -0.006424, -0.006425, -0.006425, -0.006425, -0.006425},
    // InvCapacityFactor_Axis1: speed ratio turbine / pump.
    {0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 0.95, 0.99, 1.01, 1.05, 1.1, 1.2, 1.3, 1.4,
     1.5, 1.6, 1.7, 1.8, 1.9, 2.0},
    // TorqueRatio_Table: torque multiplication, 1.864 at stall.
    {1.864, 1.78, 1.701, 1.608, 1.56, 1.519, 1.464, 1.412, 1.356, 1.309, 1.259, 1.203, 1.151,
     1.098, 1.074, 1.048, 1.041, 1.027, 1.014, 0.996, 0.996, 0.993, 0.998, 0.986, 0.993, 0.996,
     0.981, 1.0, 1.0},
    // TorqueRatio_Axis1: speed ratio turbine / pump.
    {0.0, 0.102, 0.202, 0.306, 0.353, 0.4, 0.452, 0.502, 0.551, 0.6, 0.65, 0.7, 0.75, 0.801, 0.82,
     0.84, 0.849, 0.861, 0.87, 0.881, 0.89, 0.9, 0.91, 0.921, 0.928, 0.94, 0.951, 0.99, 1.0},
    // DownshiftMap_Table [km/h].
    {
#include "model/data/generated/DownshiftMap.inc"
    },
    // ShiftMap_Axis1: throttle percentage 0 .. 100.
    {
#include "model/data/generated/ShiftMapThrottleAxis.inc"
    },
    // ShiftMap_Axis2: gear.
    {1.0, 2.0, 3.0, 4.0, 5.0},
    // UpshiftMap_Table [km/h].
    {
#include "model/data/generated/UpshiftMap.inc"
    },
    // ThrottleMap_Table: throttle fraction, clamped to 0..1 after the lookup.
    {
#include "model/data/generated/ThrottleMap.inc"
    },
    // DemandMapSpeed_Axis1: vehicle speed [m/s], 0 .. 12 in steps of 0.1.
    {
#include "model/data/generated/DemandMapSpeedAxis.inc"
    },
    // ThrottleMap_Axis2: AccelerationDemand [m/s²].
    {
#include "model/data/generated/ThrottleMapDemandAxis.inc"
    },
    // BrakeMap_Table: brake fraction, limited to 0..1 after the lookup.
    {
#include "model/data/generated/BrakeMap.inc"
    },
    // BrakeMap_Axis2: AccelerationDemand [m/s²].
    {
#include "model/data/generated/BrakeMapDemandAxis.inc"
    },
    // ThrottleMap_LastIndex, BrakeMap_LastIndex.
    {kDemandMapSpeeds - 1, kThrottleMapDemands - 1},
    {kDemandMapSpeeds - 1, kBrakeMapDemands - 1},
};
