#!/usr/bin/env python3
"""Writes the seed corpus of the scenario-parser fuzzer (fuzz/scenario/scenario_fuzzer.cpp)
into fuzz/scenario/corpus/: each seed is a selector byte (bit 0 recorded inputs, bit 1
non-finite allowed, bit 2 linear interpolation, bit 3 duration replaced) and a source.
The example scenarios are read from examples/scenarios/."""
import glob
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
JSON, CSV, ALLOW, LINEAR, DURATION = 0, 1, 2, 4, 8

SEEDS = {
    "ramp-extremes": (JSON, b'{"duration": 0.01, "events": [{"time": 0, "set": {"SteeringAngle": -1e308}},'
                            b' {"time": 0, "until": 0.01, "ramp": {"SteeringAngle": 1e308}}]}'),
    "restart-and-ramps": (JSON, b'{"name": "r", "duration": 0.5, "inputs": {"GearSelector": 1},'
                                b' "events": [{"time": 0.1, "until": 0.3, "ramp": {"AccelerationDemand": -1.5}},'
                                b' {"time": 0.2, "set": {"AccelerationDemand": 0.2}}, {"time": 0.25, "initialize": true}]}'),
    "duplicate-key": (JSON, b'{"duration": 1, "duration": 2}'),
    "deep": (JSON, b'{"duration": 1, "x": ' + b"[" * 70 + b"]" * 70 + b"}"),
    "recorded": (CSV, b"time,SteeringAngle,GearSelector, AccelerationDemand\r\n0,0,1,1.5\r\n\r\n"
                      b"0.01,0.05,1,1.5\r\n0.03,0.10004,1,-0.25\r\n"),
    "recorded-linear": (CSV | LINEAR, b"# interpolate: linear\ntime,AccelerationDemand,SteeringAngle\n"
                                      b"0,1.5,0\n0.002,1.5,0.05\n0.002,-1e308,1e308\n0.004,1e308,-1e308\n"),
    "recorded-nonfinite": (CSV | ALLOW, b"time,SteeringAngle\n0,0\n0.001,nan\n0.002,-inf\n0.003,inf\n"),
    "recorded-duration": (CSV | DURATION | (3 << 4), b"time,RoadGrade\n"),
    "recorded-bad": (CSV, b"time,RoadGrade,RoadGrade\n0,+1\n"),
    # The driver: every path shape, speed profiles, conditions and their actions.
    "driver-circle": (JSON, b'{"duration": 0.2, "inputs": {"GearSelector": 1, "InitialSpeed": 10},'
                            b' "driver": {"speed": {"target": 10}, "path": {"circle": {"radius": 30, "direction": "right"}}}}'),
    "driver-circle-huge": (JSON, b'{"duration": 5, "inputs": {"GearSelector": 1, "InitialSpeed": 10},'
                                 b' "driver": {"speed": {"target": 10}, "path": {"circle": {"radius": 1e+300}}}}'),
    "driver-lane-changes": (JSON, b'{"duration": 0.2, "inputs": {"InitialSpeed": 15}, "driver": {"speed":'
                                  b' {"profile": {"distance": [0, 10, 1e9], "speed": [15, 10, 5]}, "kp": 1, "ki": 0},'
                                  b' "path": {"lane_change": {"start": 1e9, "length": 30, "offset": -3.5},'
                                  b' "look_ahead_time": 1, "min_look_ahead": 2, "max_rate": 0.5}, "update_period": 0.002}}'),
    "driver-double-lane-change": (JSON, b'{"duration": 0.2, "inputs": {"InitialSpeed": 20}, "driver": {"speed":'
                                        b' {"target": 20}, "path": {"double_lane_change": {"lead_in": 1e9,'
                                        b' "offset": 3.5, "vehicle_width": 1.8}}}}'),
    "driver-points-reverse": (JSON, b'{"duration": 0.2, "driver": {"speed": {"profile": {"time": [0, 0.1, 0.2],'
                                    b' "speed": [0, -1, -2]}}, "path": {"points": [[0, 0], [-10, 0], [-10, 5], [0, 5]],'
                                    b' "closed": true, "wheelbase": 2.7, "max_angle": 0.6}}}'),
    "driver-demand-conditions": (JSON, b'{"duration": 0.3, "inputs": {"GearSelector": 1, "InitialSpeed": 1},'
                                       b' "driver": {"speed": {"demand": 1.5, "gear": "drive"}, "path": {"straight": {}}},'
                                       b' "events": [{"when": {"LongitudinalSpeed": {">": 1.01}, "time_in_state": {">=": 0.01}},'
                                       b' "set": {"SteeringAngle": 0.05}, "driver": {"speed": {"target": 0}}},'
                                       b' {"when": {"Distance": {">": 0.1}}, "driver": {"speed": null}},'
                                       b' {"when": {"time": {">": 0.2}, "LateralDeviation": {"<": 1e308}}, "stop": true},'
                                       b' {"time": 0.1, "set": {"RoadGrade": 0.02}}]}'),
    "condition-time-from-start": (JSON, b'{"duration": 0.1, "events": [{"when": {"time": {">": 0}}, "stop": true}]}'),
}


def main():
    folder = os.path.join(HERE, "corpus")
    os.makedirs(folder, exist_ok=True)
    for name, (selector, text) in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(bytes([selector]) + text)
    for path in sorted(glob.glob(os.path.join(ROOT, "examples", "scenarios", "*.json"))):
        with open(path, "rb") as source, open(os.path.join(folder, "example-" + os.path.basename(path)), "wb") as f:
            f.write(bytes([JSON]) + source.read())


if __name__ == "__main__":
    main()
