"""The double lane change at three entry speeds: the peak lateral acceleration of each
run, and one plot with the three runs overlaid.

Run from the repository root after building:
    PYTHONPATH=python python3 examples/python/lane_change_speeds.py [OUTPUT_DIR]
"""

import json
import sys
from pathlib import Path

import numpy as np

import corvanta
from corvanta import plot

ROOT = Path(__file__).resolve().parents[2]
output = Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "out"
output.mkdir(parents=True, exist_ok=True)
scenario = json.loads((ROOT / "examples" / "scenarios" / "double-lane-change.json").read_text())

runs = []
for speed in (15.0, 20.0, 25.0):
    scenario["inputs"]["InitialSpeed"] = speed
    rows = corvanta.simulate(scenario, every=100)  # a dict works as well as a file
    run = plot.Run(rows, f"{speed:.0f} m/s", corvanta.load_scenario(scenario).input_rows(every=100))
    _, lateral = plot.derived(run)
    print(f"{speed:4.0f} m/s: peak lateral acceleration {np.nanmax(np.abs(lateral)):.2f} m/s^2, "
          f"final Y {rows['PositionY'][-1]:.2f} m")
    runs.append(run)
plot.plot_runs(runs, output / "lane-change-speeds.png", title="double lane change at three speeds")
print(f"wrote {output / 'lane-change-speeds.png'}")
