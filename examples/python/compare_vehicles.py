"""Three cars side by side in the standard tests: the built-in car, a heavier estate
(examples/vehicles/estate.json) and the built-in car on a low-friction tyre read from a
tyre property file (examples/vehicles/low-mu.json with low_mu_205_55R16.tir).

    PYTHONPATH=python /usr/bin/python3 examples/python/compare_vehicles.py OUTPUT_DIR

prints one table of the metrics (a column per car) and writes OUTPUT_DIR/metrics.csv and
one PNG per test, OUTPUT_DIR/TEST.png, with the runs of the three cars overlaid.  Needs
the built libraries (the tests run in this process through the engine library) and
matplotlib.
"""

import csv
import math
import os
import sys
from pathlib import Path

import corvanta
import corvanta.tests

HERE = Path(__file__).resolve().parent
VEHICLES = HERE.parent / "vehicles"

# The tests and the options they run with: short runs that still show the differences.
TESTS = {
    "step-steer": dict(speed=12, steer=0.04, hold=2.0),
    "double-lane-change": dict(speed=14),
    "braking": dict(speed=14),
}

# Panels of each overlay figure: (x signal, y signal, axis label).
PANELS = {
    "step-steer": [("time", "YawRate", "yaw rate (rad/s)"), ("time", "LateralAcceleration", "ay (m/s²)")],
    "double-lane-change": [("PositionX", "PositionY", "Y (m) against X (m)"), ("time", "SteeringAngle", "steering (rad)")],
    "braking": [("time", "LongitudinalSpeed", "speed (m/s)"), ("Distance", "LongitudinalSpeed", "speed (m/s) against distance (m)")],
}


def cars():
    """(label, vehicle) of the cars compared: the built-in car first."""
    return [
        ("built-in", corvanta.Vehicle.default()),
        ("estate", corvanta.Vehicle.load(VEHICLES / "estate.json")),
        ("low-mu", corvanta.Vehicle.load(VEHICLES / "low-mu.json")),
    ]


def run_all():
    """{test: {car: TestResult}} of every test for every car."""
    return {
        test: {label: corvanta.tests.run_test(test, vehicle=vehicle, **options) for label, vehicle in cars()}
        for test, options in TESTS.items()
    }


def metric_rows(results):
    """(test, metric, unit, value per car) of every metric, in the tests' order."""
    rows = []
    for test, by_car in results.items():
        first = next(iter(by_car.values()))
        for name, metric in first.metrics.items():
            rows.append((test, name, metric.unit, [by_car[car].metrics[name].value for car in by_car]))
    return rows


def format_value(value):
    return "n/a" if not math.isfinite(value) else f"{value:.4g}"


def print_table(rows, labels):
    header = ["test", "metric", "unit", *labels]
    lines = [header] + [[test, name, unit, *map(format_value, values)] for test, name, unit, values in rows]
    widths = [max(len(line[k]) for line in lines) for k in range(len(header))]
    for line in lines:
        print("  ".join(cell.ljust(width) if k < 3 else cell.rjust(width) for k, (cell, width) in
                        enumerate(zip(line, widths))).rstrip())


def write_csv(rows, labels, path):
    temporary = path.with_name(path.name + ".tmp")
    with open(temporary, "w", newline="", encoding="utf-8") as file:
        writer = csv.writer(file)
        writer.writerow(["test", "metric", "unit", *labels])
        for test, name, unit, values in rows:
            writer.writerow([test, name, unit, *(repr(v) for v in values)])
    os.replace(temporary, path)


def plot_overlays(results, output):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    written = []
    for test, by_car in results.items():
        panels = PANELS[test]
        figure, axes = plt.subplots(len(panels), 1, figsize=(8, 3 * len(panels)), squeeze=False)
        for axis, (x, y, label) in zip(axes[:, 0], panels):
            for car, result in by_car.items():
                for run in result.runs.values():
                    axis.plot(run[x], run[y], label=car, linewidth=1)
            axis.set_ylabel(label)
            axis.set_xlabel("time (s)" if x == "time" else x)
            axis.grid(True, alpha=0.3)
        axes[0, 0].legend(fontsize="small")
        figure.suptitle(f"{test}: " + ", ".join(f"{k}={v}" for k, v in TESTS[test].items()), fontsize="small")
        figure.tight_layout()
        path = output / f"{test}.png"
        temporary = path.with_name(path.stem + ".tmp.png")
        figure.savefig(temporary, dpi=90)
        plt.close(figure)
        os.replace(temporary, path)
        written.append(path)
    return written


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[3].strip(), file=sys.stderr)
        return 2
    output = Path(argv[1])
    output.mkdir(parents=True, exist_ok=True)
    results = run_all()
    labels = [label for label, _ in cars()]
    rows = metric_rows(results)
    print_table(rows, labels)
    write_csv(rows, labels, output / "metrics.csv")
    for path in plot_overlays(results, output):
        print(f"plot: {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
