"""The standard vehicle-dynamics tests from Python.

Each test is a function that runs ``corvanta-sim test NAME`` (the one implementation of
the tests, in C++ on the scenario engine) and returns a ``TestResult``: the metrics with
their units and definitions, the tables, every run as a numpy structured array of its
signals, and the SVG plots the runner drew::

    import corvanta.tests
    result = corvanta.tests.step_steer(speed=10, steer=0.05)
    result.metrics["response_time"].value      # s
    result.runs["step-steer"]["YawRate"]        # rad/s, every 0.01 s
    result.plot("step-steer.png")               # matplotlib figure of the runs

Every test takes ``vehicle=``: a ``corvanta.Vehicle``, the path of a vehicle file, or a
dict in its layout (docs/vehicle-parameters.md); without it the built-in car runs::

    estate = corvanta.Vehicle.load("examples/vehicles/estate.json")
    heavy = corvanta.tests.braking(speed=20, vehicle=estate)
    light = corvanta.tests.braking(speed=20, vehicle=estate.with_(VehicleMass=1800))

``python3 -m corvanta.tests report -o DIR`` runs them all and writes ``DIR/report.html``
(one page: the metrics table and every plot) beside ``DIR/report.md``.

The runner is found as ``$CORVANTA_SIM``, then in the build tree of the checkout holding
this package (``build/tools/sim/corvanta-sim``), then on ``PATH``.  Option names are the
runner's with ``_`` for ``-`` (``start_speed`` for ``--start-speed``); the runner checks
them and its message comes back as ``TestError``.
"""

import argparse
import html
import json
import math
import numbers
import os
import shutil
import subprocess
import sys
import tempfile
from dataclasses import dataclass, field
from pathlib import Path

import numpy as np

__all__ = [
    "Metric",
    "TestError",
    "TestResult",
    "TESTS",
    "acceleration",
    "braking",
    "coast_down",
    "double_lane_change",
    "find_runner",
    "frequency_response",
    "report",
    "run_test",
    "steady_state_circle",
    "step_steer",
]

ENVIRONMENT_VARIABLE = "CORVANTA_SIM"

TESTS = (
    "steady-state-circle",
    "step-steer",
    "frequency-response",
    "double-lane-change",
    "braking",
    "acceleration",
    "coast-down",
)


class TestError(ValueError):
    """A test that could not run: a bad option, a missing runner, a failed run."""

    __test__ = False  # not a pytest test class


@dataclass(frozen=True)
class Metric:
    value: float  # NaN when the metric could not be determined
    unit: str
    definition: str


@dataclass
class TestResult:
    """What one test produced; ``folder`` holds metrics.json, the CSV and the SVG plots."""

    __test__ = False

    test: str
    description: str
    options: dict
    metrics: dict
    tables: dict
    runs: dict
    plots: list
    notes: list
    folder: Path = field(default=None)

    def plot(self, output, dpi=100):
        """Draws the runs with matplotlib into ``output`` (PNG, SVG, PDF by its suffix)."""
        return _plot_result(self, Path(output), dpi)


def _checkout_runner():
    root = Path(__file__).resolve().parents[2]
    if not (root / "capi" / "corvanta.h").is_file():
        return []
    builds = [root / "build"] + sorted(root.glob("build-*"))
    name = "corvanta-sim.exe" if sys.platform.startswith("win") else "corvanta-sim"
    return [build / "tools" / "sim" / name for build in builds]


def find_runner(environ=None):
    """The corvanta-sim executable, by the search order in this module's description."""
    environ = os.environ if environ is None else environ
    explicit = environ.get(ENVIRONMENT_VARIABLE, "")
    if explicit:
        path = Path(explicit).expanduser()
        if not path.is_file():
            raise TestError(f"{ENVIRONMENT_VARIABLE}={explicit}: no such file")
        return path
    for candidate in _checkout_runner():
        if candidate.is_file():
            return candidate
    found = shutil.which("corvanta-sim")
    if found:
        return Path(found)
    raise TestError(
        "cannot find corvanta-sim, which runs the standard tests: build it (scripts/build.sh) "
        f"or set {ENVIRONMENT_VARIABLE} to the executable"
    )


def _option_arguments(options):
    arguments = []
    for name, value in options.items():
        # numbers.Real takes numpy's scalars too (np.float32(10), np.int64(3)); not bool.
        if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
            raise TestError(f"{name}: expected a number, got {value!r}")
        if isinstance(value, numbers.Integral):
            text = str(int(value))
        elif math.isfinite(value):
            text = repr(float(value))
        else:
            raise TestError(f"{name}: expected a finite number, got {float(value)!r}")
        arguments += [f"--{name.replace('_', '-')}", text]
    return arguments


def _read_csv(path):
    with open(path, encoding="utf-8") as file:
        names = file.readline().strip().split(",")
    values = np.loadtxt(path, delimiter=",", skiprows=1, ndmin=2)
    return np.rec.fromarrays(values.T, names=names) if len(values) else np.zeros(0, [(n, float) for n in names])


def _read_folder(folder):
    data = json.loads((folder / "metrics.json").read_text(encoding="utf-8"))

    def number(value):
        return math.nan if value is None else float(value)

    metrics = {
        name: Metric(number(entry["value"]), entry["unit"], entry["definition"])
        for name, entry in data["metrics"].items()
    }
    tables = {}
    for name, table in data["tables"].items():
        rows = np.array([[number(v) for v in row] for row in table["rows"]], dtype=float).reshape(-1, len(table["columns"]))
        tables[name] = np.rec.fromarrays(rows.T, names=table["columns"])
    runs = {Path(csv).stem: _read_csv(folder / csv) for csv in data["runs"]}
    plots = [folder / plot["file"] for plot in data["plots"]]
    return TestResult(data["test"], data["description"], data["options"], metrics, tables, runs, plots,
                      data["notes"], folder)


def _run_runner(arguments, runner=None, vehicle=None):
    runner = Path(runner) if runner else find_runner()
    with tempfile.TemporaryDirectory(prefix="corvanta-vehicle-") as scratch:
        vehicle_arguments = _vehicle_arguments(vehicle, Path(scratch))
        completed = subprocess.run([str(runner), "test", *arguments, *vehicle_arguments], capture_output=True, text=True)
    if completed.returncode != 0:
        message = completed.stderr.strip().replace("corvanta-sim test: error: ", "")
        raise TestError(message or f"corvanta-sim test failed with status {completed.returncode}")
    return completed.stdout


def _vehicle_arguments(vehicle, scratch):
    """``--vehicle FILE`` for the runner: a path as given (its tyre files are found beside
    it), a Vehicle or a dict written to a file in ``scratch`` first."""
    if vehicle is None:
        return []
    if isinstance(vehicle, (str, os.PathLike)):
        path = Path(vehicle)
        if not path.is_file():
            raise TestError(f"vehicle: no such vehicle file: {os.fspath(vehicle)}")
        return ["--vehicle", str(path)]
    from .vehicle import Vehicle, VehicleError, as_vehicle

    if not isinstance(vehicle, (Vehicle, dict)):
        raise TestError(
            f"vehicle: expected a corvanta.Vehicle, a vehicle file path or a dict, got {type(vehicle).__name__}"
        )
    try:
        vehicle = as_vehicle(vehicle).require_valid()
    except VehicleError as error:
        raise TestError(f"vehicle: {error}") from None
    path = scratch / "vehicle.json"
    vehicle.save(path)
    return ["--vehicle", str(path)]


def run_test(name, output=None, runner=None, vehicle=None, **options):
    """Runs the test called ``name`` (see TESTS) with the given options.  ``output`` is
    the folder for its files; without one a temporary folder is used (``result.folder``
    is then gone after the call, the data stays in the result).  ``vehicle``: a
    corvanta.Vehicle, a vehicle file path or a dict; None runs the built-in car."""
    if name not in TESTS:
        raise TestError(f"unknown test {name!r}; the tests are {', '.join(TESTS)}")
    arguments = [name, *_option_arguments(options), "-q"]
    if output is not None:
        folder = Path(output)
        _run_runner([*arguments, "-o", str(folder)], runner, vehicle)
        return _read_folder(folder)
    with tempfile.TemporaryDirectory(prefix="corvanta-test-") as scratch:
        _run_runner([*arguments, "-o", scratch], runner, vehicle)
        result = _read_folder(Path(scratch))
        result.folder = None
        result.plots = []
        return result


def steady_state_circle(output=None, vehicle=None, **options):
    """Constant radius, slowly increasing speed: understeer gradient (deg/g) and the
    largest lateral acceleration.  Options: radius, start_speed, end_speed, ramp_time,
    fit_low, fit_high."""
    return run_test("steady-state-circle", output, vehicle=vehicle, **options)


def step_steer(output=None, vehicle=None, **options):
    """Steering step at a held speed: yaw-rate gain, response time, peak response time,
    overshoot.  Options: speed, steer, rise_time, hold."""
    return run_test("step-steer", output, vehicle=vehicle, **options)


def frequency_response(output=None, vehicle=None, **options):
    """Steering sines at a held speed: yaw-rate gain and phase against frequency.
    Options: speed, amplitude, min_frequency, max_frequency, count, cycles."""
    return run_test("frequency-response", output, vehicle=vehicle, **options)


def double_lane_change(output=None, vehicle=None, **options):
    """Obstacle-avoidance lane change: peak deviation, peak yaw rate, cones hit.
    Options: speed, width, offset."""
    return run_test("double-lane-change", output, vehicle=vehicle, **options)


def braking(output=None, vehicle=None, **options):
    """From a held speed to standstill: stopping distance, time, MFDD.  Options: speed, demand."""
    return run_test("braking", output, vehicle=vehicle, **options)


def acceleration(output=None, vehicle=None, **options):
    """From standstill: time and distance to speeds.  Options: to, interval, demand, time_limit."""
    return run_test("acceleration", output, vehicle=vehicle, **options)


def coast_down(output=None, vehicle=None, **options):
    """In neutral from speed: road load F = A + B v + C v^2.  Options: speed, end_speed, mass."""
    return run_test("coast-down", output, vehicle=vehicle, **options)


# ---- Plots ------------------------------------------------------------------------------

_PANELS = {
    "steady-state-circle": [("time", "LongitudinalSpeed", "speed (m/s)"), ("time", "LateralAcceleration", "ay (m/s²)"),
                            ("time", "SteeringAngle", "steering (rad)"), ("time", "LateralDeviation", "deviation (m)")],
    "step-steer": [("time", "SteeringAngle", "steering (rad)"), ("time", "YawRate", "yaw rate (rad/s)"),
                   ("time", "LateralAcceleration", "ay (m/s²)"), ("time", "LongitudinalSpeed", "speed (m/s)")],
    "frequency-response": [("time", "SteeringAngle", "steering (rad)"), ("time", "YawRate", "yaw rate (rad/s)")],
    "double-lane-change": [("PositionX", "PositionY", "Y (m) against X"), ("time", "SteeringAngle", "steering (rad)"),
                           ("time", "YawRate", "yaw rate (rad/s)"), ("time", "LateralDeviation", "deviation (m)")],
    "braking": [("time", "LongitudinalSpeed", "speed (m/s)"), ("time", "LongitudinalAcceleration", "ax (m/s²)"),
                ("Distance", "LongitudinalSpeed", "speed (m/s) against distance")],
    "acceleration": [("time", "LongitudinalSpeed", "speed (m/s)"), ("Distance", "LongitudinalSpeed",
                                                                    "speed (m/s) against distance")],
    "coast-down": [("time", "LongitudinalSpeed", "speed (m/s)"), ("time", "LongitudinalAcceleration", "ax (m/s²)")],
}


def _plot_result(result, output, dpi):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    panels = list(_PANELS[result.test])
    bode = result.tables.get("frequency_response")
    rows = len(panels) + (2 if bode is not None else 0)
    figure, axes = plt.subplots(rows, 1, figsize=(9, 2.4 * rows), squeeze=False)
    axes = axes[:, 0]
    for axis, (x, y, label) in zip(axes, panels):
        for name, run in result.runs.items():
            axis.plot(run[x], run[y], label=name, linewidth=1)
        axis.set_ylabel(label)
        axis.set_xlabel("time (s)" if x == "time" else f"{x}")
        axis.grid(True, alpha=0.3)
    if len(result.runs) > 1:
        axes[0].legend(fontsize="small", ncol=2)
    if bode is not None:
        gain_axis, phase_axis = axes[len(panels)], axes[len(panels) + 1]
        gain_axis.semilogx(bode["frequency"], bode["yaw_rate_gain"], "o-")
        gain_axis.set_ylabel("yaw-rate gain (1/s)")
        phase_axis.semilogx(bode["frequency"], bode["phase"], "o-")
        phase_axis.set_ylabel("phase (deg)")
        phase_axis.set_xlabel("frequency (Hz)")
        for axis in (gain_axis, phase_axis):
            axis.grid(True, which="both", alpha=0.3)
    figure.suptitle(f"{result.test}: {result.description}", fontsize="small", wrap=True)
    figure.tight_layout()
    output.parent.mkdir(parents=True, exist_ok=True)
    temporary = output.with_name(output.name + ".tmp" + output.suffix)
    figure.savefig(temporary, dpi=dpi)
    plt.close(figure)
    os.replace(temporary, output)
    return output


# ---- The whole set and its report ---------------------------------------------------------


def _format(value):
    return "n/a" if not math.isfinite(value) else f"{value:.4g}"


def html_report(results):
    """One HTML page: every test's metrics and its plots (the SVG files beside it)."""
    parts = [
        "<!DOCTYPE html><html><head><meta charset='utf-8'><title>Corvanta standard tests</title>",
        "<style>body{font-family:sans-serif;max-width:1600px;margin:auto}table{border-collapse:collapse}"
        "td,th{border:1px solid #ccc;padding:2px 8px}td.v{text-align:right}"
        ".plots img{width:32%;vertical-align:top}</style></head><body>",
        "<h1>Corvanta standard vehicle-dynamics tests</h1>",
        "<table><tr><th>test</th><th>metric</th><th>value</th><th>unit</th><th>definition</th></tr>",
    ]
    for result in results:
        for name, metric in result.metrics.items():
            parts.append(
                f"<tr><td>{html.escape(result.test)}</td><td>{html.escape(name)}</td>"
                f"<td class='v'>{_format(metric.value)}</td><td>{html.escape(metric.unit)}</td>"
                f"<td>{html.escape(metric.definition)}</td></tr>"
            )
    parts.append("</table>")
    for result in results:
        parts.append(f"<h2>{html.escape(result.test)}</h2><p>{html.escape(result.description)}</p>")
        for note in result.notes:
            parts.append(f"<p><b>Note:</b> {html.escape(note)}</p>")
        parts.append("<div class='plots'>")
        for plot in result.plots:
            relative = f"{result.test}/{plot.name}"
            parts.append(f"<img src='{html.escape(relative)}' alt='{html.escape(plot.stem)}'>")
        parts.append("</div>")
    parts.append("</body></html>\n")
    return "\n".join(parts)


def report(output, runner=None, vehicle=None):
    """Runs every test with its defaults into ``output`` (one folder per test, and the
    runner's report.md) and writes ``output/report.html``.  Returns the results.
    ``vehicle`` as for ``run_test``."""
    output = Path(output)
    _run_runner(["all", "-q", "-o", str(output)], runner, vehicle)
    results = [_read_folder(output / name) for name in TESTS]
    page = output / "report.html"
    temporary = page.with_name(page.name + ".tmp")
    temporary.write_text(html_report(results), encoding="utf-8")
    os.replace(temporary, page)
    return results


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m corvanta.tests", description=__doc__.split("\n\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    report_command = commands.add_parser("report", help="run every test and write DIR/report.html and DIR/report.md")
    report_command.add_argument("-o", "--output", required=True, metavar="DIR")
    report_command.add_argument("--vehicle", metavar="FILE", help="a vehicle file instead of the built-in car")
    arguments = parser.parse_args(argv)
    try:
        results = report(arguments.output, vehicle=arguments.vehicle)
    except TestError as error:
        print(f"python3 -m corvanta.tests: error: {error}", file=sys.stderr)
        return 2
    for result in results:
        print(f"{result.test}: " + ", ".join(f"{n} {_format(m.value)} {m.unit}" for n, m in result.metrics.items()))
    print(f"report: {Path(arguments.output) / 'report.html'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
